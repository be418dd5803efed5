// Placeholders until the composed loaders are in: each uploads nothing and
// returns the texture it was given.
#include "avm/sprites/state_sprites.h"

int get_top_name(char* out, const char*) {
  out[0] = '\0';
  return 1;
}
int load_texture_top(int texture) { return texture; }
int load_textureLR(int, int, int, int texture) { return texture; }
int load_textureFB(int, int, int, int texture) { return texture; }
int load_texture_doors(int, int, int texture) { return texture; }
int load_texture_doors2(int, int, int texture) { return texture; }
int load_textureSome(int, int, int, int, int texture) { return texture; }
