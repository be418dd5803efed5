#pragma once
// Loaders of the plain whole-car images, one per sprite angle, and of the
// few car and lane pictures uploaded unchanged. Each takes a GL texture name
// created earlier and returns that same name. GL thread only.
//
// A missing or undecodable image gives an empty (0 x 0) texture; the
// loaders log nothing about it themselves.

// Loads color/a/{spriteAngle}.kes of the selected car into texture.
int load_textureAll(int texture);

// Loads the whole-car image of angle (0..191) into texture.
int load_textureAll2(int texture, int angle);

// Loads a car picture by type: 0 color/light2.kes (beams at angle 144),
// 1 color/warning2.kes (the other car), 2 color/light1.kes (beams at angle
// 72). Other types load nothing and are logged.
int load_textureIndex(int texture, int type);

// Loads common/lane1.png, shrunk to scale / 8 of its size (area
// interpolation), with linear filtering, in R, G, B, A byte order.
int load_texturMipMap(int texture, int scale);
