#pragma once
// Paths of the renderer are built into fixed 256-byte buffers from the asset
// directory, the car name and fixed formats. A path that does not fit must
// never be cut into another, valid-looking path: FormatPath reports it.
#include <cstdarg>
#include <cstddef>

constexpr std::size_t kPathBufferSize = 256;

// Formats into buffer (capacity bytes). Returns true when the whole text and
// its terminating zero fitted; otherwise logs the format and leaves the buffer
// holding an empty string, so a caller that ignores the result opens nothing.
bool FormatPath(char* buffer, std::size_t capacity, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// The same from a va_list, for helpers that take a format of their own.
bool FormatPathV(char* buffer, std::size_t capacity, const char* format, va_list args)
    __attribute__((format(printf, 3, 0)));
