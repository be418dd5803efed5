// The shader sources compile and link in a real GL ES 2.0 context, the
// scene's programs expose their locations, and the failure paths log what
// they must and leave the output slot as promised.
#include <GLES2/gl2.h>
#include <gtest/gtest.h>

#include "avm/bridge/scene_state.h"
#include "avm/gl/shader_programs.h"
#include "avm/gl/shader_sources.h"
#include "tests/avm/avm_test_support.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_runner.h"

namespace {

class ShaderPrograms : public ::testing::Test {
 protected:
  void SetUp() override {
    StartTestGlContext();
    ASSERT_NE(AllocateSceneState(), nullptr);
    while (glGetError() != GL_NO_ERROR) {
    }
  }
};

bool Linked(GLuint program) {
  GLint status = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &status);
  return glIsProgram(program) == GL_TRUE && status == GL_TRUE;
}

TEST_F(ShaderPrograms, EveryPairOfSourcesLinks) {
  const struct {
    const char* vertex;
    const char* fragment;
  } pairs[] = {
      {shader_single_vert, shader_single_frag}, {shader_single_vert, shader_single_frag_pic},
      {shader_vert_color, shader_frag_color},   {shader_car_vert, shader_car_frag},
      {shader_obj_vert, shader_obj_frag},       {shader_track_vert, shader_track_frag},
  };
  LogCapture log;
  for (const auto& pair : pairs) {
    GLuint program = 0;
    EXPECT_EQ(LoadShaders2(pair.vertex, pair.fragment, &program), 1);
    EXPECT_TRUE(Linked(program)) << pair.fragment;
  }
  EXPECT_EQ(log.CountPrefix("KESTRA", "Compile error"), 0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ShaderPrograms, SceneProgramsAndTheirLocations) {
  BuildScenePrograms();
  const ViewParam* scene = pViewParam;
  for (GLuint program : {scene->externalProgram, scene->pictureProgram, scene->colorProgram,
                         scene->carProgram, scene->objProgram}) {
    EXPECT_TRUE(Linked(program)) << program;
  }
  // Programs are five distinct names, built in the order of the table.
  EXPECT_LT(scene->externalProgram, scene->pictureProgram);
  EXPECT_LT(scene->pictureProgram, scene->colorProgram);
  EXPECT_LT(scene->colorProgram, scene->carProgram);
  EXPECT_LT(scene->carProgram, scene->objProgram);

  for (int location :
       {scene->externalMatProjLoc, scene->externalPositionLoc, scene->externalTexCoordLoc,
        scene->externalSamplerLoc, scene->externalLumaAllLoc, scene->pictureMatProjLoc,
        scene->picturePositionLoc, scene->pictureTexCoordLoc, scene->pictureSamplerLoc,
        scene->pictureLumaAllLoc, scene->colorMatProjLoc, scene->colorPositionLoc,
        scene->colorLumaLoc, scene->carPositionLoc, scene->carCoordLoc, scene->carTextureLoc,
        scene->carTextureAlphaLoc, scene->carMatrixLoc, scene->carPkmFlagLoc,
        scene->carAlphaFlagLoc, scene->carAlphaValueLoc, scene->objPositionLoc,
        scene->objMatrixLoc}) {
    EXPECT_GE(location, 0);
  }
  EXPECT_GE(scene->objColorLoc, 0.0f);
  EXPECT_EQ(static_cast<GLint>(scene->objColorLoc),
            glGetUniformLocation(scene->objProgram, "carColor[0]"));
  // bPicture is declared but never read: the compiler may drop it, and its
  // location is then kept as -1.
  EXPECT_EQ(scene->picturePictureFlagLoc,
            glGetUniformLocation(scene->pictureProgram, "bPicture"));
  EXPECT_EQ(scene->pictureSamplerLoc, glGetUniformLocation(scene->pictureProgram, "texture"));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ShaderPrograms, NullSourceFailsWithoutTouchingGl) {
  const GLuint shader = glCreateShader(GL_VERTEX_SHADER);
  EXPECT_EQ(CompileShader2(nullptr, shader), 0);
  GLint sourceLength = -1;
  glGetShaderiv(shader, GL_SHADER_SOURCE_LENGTH, &sourceLength);
  EXPECT_EQ(sourceLength, 0);

  LogCapture log;
  GLuint program = 4242;
  LoadShaders2(nullptr, shader_frag_color, &program);
  EXPECT_EQ(program, 4242u);
  EXPECT_TRUE(log.Contains("KESTRA", "vshader compile failed"));
  LoadShaders2(shader_vert_color, nullptr, &program);
  EXPECT_EQ(program, 4242u);
  EXPECT_TRUE(log.Contains("KESTRA", "fshader compile failed!"));
}

TEST_F(ShaderPrograms, CompileErrorLogsTheCompilersWords) {
  LogCapture log;
  const GLuint shader = glCreateShader(GL_FRAGMENT_SHADER);
  EXPECT_EQ(CompileShader2("void main() { gl_FragColor = undeclaredThing; }\n", shader), 0);
  bool found = false;
  for (const LogLine& line : log.Lines()) {
    if (line.tag == "KESTRA" && line.message.rfind("Compile error: ", 0) == 0) {
      found = true;
      EXPECT_EQ(line.priority, 6);
      EXPECT_GT(line.message.size(), std::string("Compile error: \n").size());
    }
  }
  EXPECT_TRUE(found);
}

TEST_F(ShaderPrograms, LinkFailureKeepsTheProgramName) {
  // The fragment stage reads a varying that the vertex stage never declares.
  const char* fragment =
      "precision mediump float;\n"
      "varying vec2 neverWritten;\n"
      "void main() { gl_FragColor = vec4(neverWritten, 0.0, 1.0); }\n";
  LogCapture log;
  GLuint program = 0;
  EXPECT_EQ(LoadShaders2(shader_vert_color, fragment, &program), 0);
  EXPECT_NE(program, 0u);
  EXPECT_EQ(glIsProgram(program), GL_TRUE);
  EXPECT_FALSE(Linked(program));
  EXPECT_TRUE(log.Contains("KESTRA", "shader program link failed\n"));
  // Its shaders are given back with it, not left behind for good.
  GLuint shaders[2] = {0, 0};
  GLsizei attached = 0;
  glGetAttachedShaders(program, 2, &attached, shaders);
  ASSERT_EQ(attached, 2);
  for (GLuint shader : shaders) {
    GLint deleting = GL_FALSE;
    glGetShaderiv(shader, GL_DELETE_STATUS, &deleting);
    EXPECT_EQ(deleting, GL_TRUE);
  }
}

TEST_F(ShaderPrograms, SourcesFromFiles) {
  TempDir dir;
  ASSERT_TRUE(WriteFile(dir / "color.vert", shader_vert_color));
  ASSERT_TRUE(WriteFile(dir / "color.frag", shader_frag_color));
  GLuint program = 0;
  EXPECT_EQ(LoadShaders((dir / "color.vert").c_str(), (dir / "color.frag").c_str(), &program), 1);
  EXPECT_TRUE(Linked(program));

  LogCapture log;
  GLuint untouched = 99;
  LoadShaders((dir / "missing.vert").c_str(), (dir / "color.frag").c_str(), &untouched);
  LoadShaders((dir / "color.vert").c_str(), (dir / "missing.frag").c_str(), &untouched);
  EXPECT_EQ(untouched, 99u);
  const std::vector<std::string> lines = log.Messages("KESTRA");
  EXPECT_EQ(lines, (std::vector<std::string>{"vshader compile failed\n", "fshader compile failed\n"}));
}

TEST_F(ShaderPrograms, EmptySourceFileIsReported) {
  TempDir dir;
  ASSERT_TRUE(WriteFile(dir / "empty.vert", ""));
  LogCapture log;
  const GLuint shader = glCreateShader(GL_VERTEX_SHADER);
  EXPECT_EQ(CompileShader((dir / "empty.vert").c_str(), shader), 0);
  EXPECT_TRUE(log.Contains("KESTRA", "failed to read shader source file\n"));
}

TEST_F(ShaderPrograms, CreateTextureSetsLinearClampedSampling) {
  GLuint names[3] = {};
  EXPECT_EQ(CreateTexture(names, 3), 1);
  for (GLuint name : names) {
    ASSERT_NE(name, 0u);
    glBindTexture(GL_TEXTURE_2D, name);
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &value);
    EXPECT_EQ(value, GL_CLAMP_TO_EDGE);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &value);
    EXPECT_EQ(value, GL_CLAMP_TO_EDGE);
  }
  EXPECT_NE(names[0], names[1]);
  EXPECT_NE(names[1], names[2]);

  GLuint more[2] = {};
  CreateTexture(more, 2);
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(static_cast<GLuint>(bound), more[1]);  // the last one stays bound
}

TEST_F(ShaderPrograms, CreateTextureOfNothing) {
  GLuint before[1] = {0};
  CreateTexture(before, 1);
  GLuint untouched[2] = {77, 78};
  EXPECT_EQ(CreateTexture(untouched, 0), 1);
  EXPECT_EQ(untouched[0], 77u);
  EXPECT_EQ(untouched[1], 78u);
  // No name was consumed: the next one follows the one made before.
  GLuint after[1] = {0};
  CreateTexture(after, 1);
  EXPECT_EQ(after[0], before[0] + 1);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
