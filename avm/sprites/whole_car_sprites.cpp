#include "avm/sprites/whole_car_sprites.h"

int load_textureAll2(int texture, int angle) {
  // Decoding color/a/<angle>.kes and uploading it into the texture comes
  // with the car asset loaders; until then the idle preload of the draw
  // method walks the angles with this entry point and gets the name back,
  // as it will from the finished loader.
  (void)angle;
  return texture;
}
