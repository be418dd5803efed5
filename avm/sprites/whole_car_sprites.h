#pragma once
// Loaders of the plain whole-car images, one per sprite angle. Each takes a
// GL texture name created earlier and returns that same name. GL thread only.

// Loads the whole-car image of angle (0..191) into texture.
int load_textureAll2(int texture, int angle);
