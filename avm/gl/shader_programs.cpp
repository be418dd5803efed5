#include "avm/gl/shader_programs.h"

#include <cstdio>
#include <cstdlib>

#include "avm/common/avm_log.h"
#include "avm/bridge/scene_state.h"
#include "avm/common/regular_file.h"
#include "avm/gl/shader_sources.h"

namespace {

// Reads the compile status; on failure logs the compiler's own words.
int CompileStatus(GLuint shader) {
  GLint compiled = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
  if (compiled == GL_TRUE) {
    return 1;
  }
  GLint length = 0;
  glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
  if (length < 0) {
    length = 0;
  }
  char* text = static_cast<char*>(std::malloc(static_cast<std::size_t>(length) + 1));
  if (text == nullptr) {
    return 0;
  }
  GLsizei written = 0;
  glGetShaderInfoLog(shader, length + 1, &written, text);
  text[written >= 0 && written <= length ? written : 0] = '\0';
  AVM_LOGE("Compile error: %s\n", text);
  std::free(text);
  return 0;
}

// After a failed link: the program's log to standard error, the verdict to
// the Android log.
void ReportLinkFailure(GLuint program) {
  GLint length = 0;
  glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
  if (length < 0) {
    length = 0;
  }
  char* text = static_cast<char*>(std::malloc(static_cast<std::size_t>(length) + 1));
  if (text != nullptr) {
    GLsizei written = 0;
    glGetProgramInfoLog(program, length + 1, &written, text);
    text[written >= 0 && written <= length ? written : 0] = '\0';
    std::fprintf(stderr, "%s", text);
    std::free(text);
  }
  AVM_LOGE("shader program link failed\n");
}

using CompileRoutine = int (*)(const char*, GLuint);

struct LoadMessages {
  const char* vertexFailed;
  const char* fragmentFailed;
};

int LinkProgram(CompileRoutine compile, const LoadMessages& messages, const char* vertex,
                const char* fragment, GLuint* program) {
  const GLuint vs = glCreateShader(GL_VERTEX_SHADER);
  const GLuint fs = glCreateShader(GL_FRAGMENT_SHADER);
  // A stage that fails leaves no program: both shader objects are given
  // back, the output slot stays as it was.
  if (compile(vertex, vs) == 0) {
    AVM_LOGE("%s", messages.vertexFailed);
    glDeleteShader(vs);
    glDeleteShader(fs);
    return 0;
  }
  if (compile(fragment, fs) == 0) {
    AVM_LOGE("%s", messages.fragmentFailed);
    glDeleteShader(vs);
    glDeleteShader(fs);
    return 0;
  }
  const GLuint created = glCreateProgram();
  if (program != nullptr) {
    *program = created;
  }
  glAttachShader(created, vs);
  glAttachShader(created, fs);
  glLinkProgram(created);
  GLint linked = GL_FALSE;
  glGetProgramiv(created, GL_LINK_STATUS, &linked);
  if (linked == GL_TRUE) {
    // They stay attached, and alive, until the program goes.
    glDeleteShader(vs);
    glDeleteShader(fs);
    return 1;
  }
  ReportLinkFailure(created);
  // The unusable program keeps its name in the slot (callers draw nothing
  // visible with it, and a track drawer deletes it when dropped); its
  // shaders go with it rather than outliving it.
  glDeleteShader(vs);
  glDeleteShader(fs);
  return 0;
}

GLint Attribute(GLuint program, const char* name) {
  const GLint location = glGetAttribLocation(program, name);
  // An inactive attribute (-1) is kept as it is; enabling it would only
  // raise a GL error.
  if (location >= 0) {
    glEnableVertexAttribArray(static_cast<GLuint>(location));
  }
  return location;
}

GLint Uniform(GLuint program, const char* name) { return glGetUniformLocation(program, name); }

}  // namespace

extern "C" {

int CompileShader2(const char* source, GLuint shader) {
  if (source == nullptr) {
    return 0;
  }
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  return CompileStatus(shader);
}

int LoadShaders2(const char* vertexSource, const char* fragmentSource, GLuint* program) {
  return LinkProgram(CompileShader2, LoadMessages{"vshader compile failed", "fshader compile failed!"},
                     vertexSource, fragmentSource, program);
}

int CompileShader(const char* path, GLuint shader) {
  if (path == nullptr) {
    return 0;
  }
  FILE* file = OpenRegularFile(path);
  if (file == nullptr) {
    return 0;
  }
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) {
    size = std::ftell(file);
  }
  if (size < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
    size = 0;
  }
  char* buffer = static_cast<char*>(std::malloc(size > 0 ? static_cast<std::size_t>(size) : 1));
  if (buffer == nullptr) {
    std::fprintf(stderr, "Out of memory.\n");
    std::fclose(file);
    return 0;
  }
  const std::size_t got = size > 0 ? std::fread(buffer, 1, static_cast<std::size_t>(size), file) : 0;
  if (got == 0) {
    AVM_LOGE("failed to read shader source file\n");
  }
  // Only the bytes actually read: a file that shrank after it was measured
  // must not hand uninitialised memory to the compiler.
  const GLint length = static_cast<GLint>(got);
  const char* text = buffer;
  glShaderSource(shader, 1, &text, &length);
  glCompileShader(shader);
  std::free(buffer);
  std::fclose(file);
  return CompileStatus(shader);
}

int LoadShaders(const char* vertexPath, const char* fragmentPath, GLuint* program) {
  return LinkProgram(CompileShader,
                     LoadMessages{"vshader compile failed\n", "fshader compile failed\n"},
                     vertexPath, fragmentPath, program);
}

int CreateTexture(GLuint* names, GLsizei count) {
  if (names == nullptr || count <= 0) {
    return 1;
  }
  glGenTextures(count, names);
  for (GLsizei i = 0; i < count; ++i) {
    if (names[i] == 0) {
      continue;
    }
    glBindTexture(GL_TEXTURE_2D, names[i]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  }
  return 1;
}

}  // extern "C"

void BuildScenePrograms() {
  ViewParam* scene = pViewParam;
  LoadShaders2(shader_single_vert, shader_single_frag, &scene->externalProgram);
  LoadShaders2(shader_single_vert, shader_single_frag_pic, &scene->pictureProgram);
  LoadShaders2(shader_vert_color, shader_frag_color, &scene->colorProgram);
  LoadShaders2(shader_car_vert, shader_car_frag, &scene->carProgram);
  LoadShaders2(shader_obj_vert, shader_obj_frag, &scene->objProgram);

  const GLuint external = scene->externalProgram;
  scene->externalMatProjLoc = Uniform(external, "u_matProj");
  scene->externalPositionLoc = Attribute(external, "a_vPosition");
  scene->externalTexCoordLoc = Attribute(external, "a_vTexCoord");
  scene->externalSamplerLoc = Uniform(external, "texture_External");
  scene->externalPictureFlagLoc = Uniform(external, "bPicture");
  scene->externalLumaAllLoc = Uniform(external, "lumaAll");

  const GLuint picture = scene->pictureProgram;
  scene->pictureMatProjLoc = Uniform(picture, "u_matProj");
  scene->picturePositionLoc = Attribute(picture, "a_vPosition");
  scene->pictureTexCoordLoc = Attribute(picture, "a_vTexCoord");
  scene->pictureSamplerLoc = Uniform(picture, "texture");
  scene->picturePictureFlagLoc = Uniform(picture, "bPicture");
  scene->pictureLumaAllLoc = Uniform(picture, "lumaAll");

  const GLuint color = scene->colorProgram;
  scene->colorMatProjLoc = Uniform(color, "u_matProj");
  scene->colorPositionLoc = Attribute(color, "a_vPosition");
  scene->colorLumaLoc = Uniform(color, "luma");

  const GLuint car = scene->carProgram;
  scene->carPositionLoc = Attribute(car, "vPosition");
  scene->carCoordLoc = Attribute(car, "vCoord");
  scene->carTextureLoc = Uniform(car, "vTexture");
  scene->carTextureAlphaLoc = Uniform(car, "vTextureAlpha");
  scene->carMatrixLoc = Uniform(car, "vMatrix");
  scene->carPkmFlagLoc = Uniform(car, "PkmFlag");
  scene->carAlphaFlagLoc = Uniform(car, "AlphaFlag");
  scene->carAlphaValueLoc = Uniform(car, "AlphaValue");

  const GLuint object = scene->objProgram;
  scene->objPositionLoc = Attribute(object, "vPosition");
  scene->objMatrixLoc = Uniform(object, "vMatrix");
  scene->objColorLoc = static_cast<float>(Uniform(object, "carColor"));
}
