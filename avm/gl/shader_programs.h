#pragma once
// Compiling and linking the renderer's shader programs, the table of
// programs and locations in the scene record, and texture-name creation with
// the renderer's sampling parameters. GL thread only, context current.
#include <GLES2/gl2.h>

extern "C" {

// Compiles source into an existing shader object: 1 when it compiled, 0
// otherwise (also for a null source, without touching GL). A failed compile
// logs "Compile error: " and the compiler's log.
int CompileShader2(const char* source, GLuint shader);
// Compiles both stages, writes the new program's name to *program and links.
// A stage that fails leaves *program unwritten; a failed link keeps the name.
// Returns 1 when the program linked, 0 otherwise (callers may ignore it).
int LoadShaders2(const char* vertexSource, const char* fragmentSource, GLuint* program);
// The same two, reading each source from a file.
int CompileShader(const char* path, GLuint shader);
int LoadShaders(const char* vertexPath, const char* fragmentPath, GLuint* program);
// Generates count texture names into names and gives each linear filtering
// and edge clamping, without image storage. Returns 1.
int CreateTexture(GLuint* names, GLsizei count);

}  // extern "C"

// Builds the five programs of the scene into the scene record and looks up
// their locations, in the order external, picture, colour, car, object.
void BuildScenePrograms();
