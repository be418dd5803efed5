/* The image tools of libavm.so that applications may call directly: the
   number-plate and tyre-panel pictures composed from the glyph sheets of the
   asset tree, and the conversion of a PNG file into the renderer's ".bin"
   form. Plain C names; every integer is 32 bits wide on every ABI.

   The composing tools read the asset directory that the renderer was
   initialised with, so they may be called only after AVM.Init, and not at
   the same time as a frame (the renderer calls them itself under its lock). */
#ifndef AVM_IMAGE_TOOLS_H
#define AVM_IMAGE_TOOLS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Writes binPath as a copy of the PNG file pngPath whose 8-byte signature is
   replaced by "kes " 0x30 0x0B 0x09 0x0C, then sets both files' times to now.
   Sources over 512000 bytes, and sources that cannot be read completely, are
   refused with the line "<pngPath> pngToBin fail!" and change nothing. The
   copy is replaced only by a complete new file. Always returns 1: callers
   look at whether binPath exists. */
int32_t pngToBin(const char* pngPath, const char* binPath);

/* Composes the number plate from common/plate/simple<style>.bin (region glyph
   number region) and common/plate/number<style>.bin (the letters and digits
   of text, case ignored) into common/plate/plate.png: 87 x 25 pixels for a
   text of 7 characters, 80 x 25 with the first 6 characters otherwise.
   Style 0 is blue, 1 yellow, any other green. Returns 1 when plate.png was
   written, 0 when the input was refused (a text shorter than 6 characters
   or holding anything but letters and digits, a region outside the sheet,
   sheets missing or not 8-bit three-channel pictures) or the file could not
   be written; plate.png then keeps its content. */
int32_t genPlate(int32_t region, const char* text, int32_t style);

/* The renderer's entry to genPlate: the same arguments and result. */
int32_t AvmGenPlate(int32_t region, const char* text, int32_t style);

/* Composes one tyre panel (80 x 50 pixels, four channels) into
   common/pressure/pressure.png from common/pressure/background<style> and
   number<style> (".bin", refreshed from a ".png" beside it when that differs
   in time by more than 2 seconds). pressure 0..999 (hundredths in pressure
   unit 1); pressureUnit 0, 1, 2 or any other value for no pressure line;
   temperature drawn from -98 to 98; statusIcon 0..3; temperatureUnit 0 or
   more. Returns 1 when pressure.png was written, -1 otherwise (a sheet
   missing or not 8-bit four-channel or too small, a refused argument, a
   failed write); pressure.png then keeps its content. */
int32_t genTirePressure(int32_t pressure, int32_t pressureAlarm, int32_t temperature,
                        int32_t temperatureAlarm, int32_t statusIcon, int32_t pressureUnit,
                        int32_t temperatureUnit, int32_t style);

#ifdef __cplusplus
}
#endif

#endif /* AVM_IMAGE_TOOLS_H */
