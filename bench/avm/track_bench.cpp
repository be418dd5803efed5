// Guide lines every frame: two arcs of an unchanged steering angle, drawn
// from their resident buffers, against the bare GL calls of two such
// strips; and the same arcs rebuilt for a new angle each time.
#include <GLES2/gl2.h>
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "avm/bridge/lifecycle.h"
#include "avm/gl/shader_programs.h"
#include "avm/gl/shader_sources.h"
#include "avm/include/avm_matrix.h"
#include "avm/include/avm_track.h"
#include "bench/avm/ratio_reporter.h"
#include "host/egl/host_egl.h"

namespace {

AvmTrack* gTrack = nullptr;
float gView[16];
float gProj[16];

void BM_TrackArcsUnchanged(benchmark::State& state) {
  gTrack->FrontLeft(gView, gProj, 15.0f);
  for (auto _ : state) {
    gTrack->FrontLeft(gView, gProj, 15.0f);
    glFinish();
  }
}
BENCHMARK(BM_TrackArcsUnchanged)->MinTime(1.0)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_TrackArcsRebuilt(benchmark::State& state) {
  for (auto _ : state) {
    gTrack->drawer->markGeometryDirty();
    gTrack->FrontLeft(gView, gProj, 15.0f);
    glFinish();
  }
}
BENCHMARK(BM_TrackArcsRebuilt)->MinTime(1.0)->UseRealTime()->Unit(benchmark::kMicrosecond);

// The same two strips of 102 vertices drawn by hand from resident buffers.
void BM_BareStrips(benchmark::State& state) {
  GLuint program = 0;
  LoadShaders2(shader_track_vert, shader_track_frag, &program);
  const GLint position = glGetAttribLocation(program, "a_vPosition");
  const GLint texCoord = glGetAttribLocation(program, "a_vTexCoord");
  std::vector<float> vertices(102 * 3);
  std::vector<float> coords(102 * 2);
  std::vector<GLushort> indices(102);
  for (int i = 0; i < 102; ++i) {
    vertices[3 * i] = static_cast<float>(i % 2) * 5.0f - 100.0f;
    vertices[3 * i + 1] = static_cast<float>(i / 2) * 10.0f;
    coords[2 * i] = static_cast<float>(i % 2);
    coords[2 * i + 1] = static_cast<float>(i / 2) / 50.0f;
    indices[i] = static_cast<GLushort>(i);
  }
  GLuint buffers[3];
  glGenBuffers(3, buffers);
  glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
  glBufferData(GL_ARRAY_BUFFER, vertices.size() * 4, vertices.data(), GL_STATIC_DRAW);
  glBindBuffer(GL_ARRAY_BUFFER, buffers[1]);
  glBufferData(GL_ARRAY_BUFFER, coords.size() * 4, coords.data(), GL_STATIC_DRAW);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[2]);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, indices.size() * 2, indices.data(), GL_STATIC_DRAW);
  for (auto _ : state) {
    for (int line = 0; line < 2; ++line) {
      glUseProgram(program);
      glUniformMatrix4fv(glGetUniformLocation(program, "u_matView"), 1, GL_FALSE, gView);
      glUniformMatrix4fv(glGetUniformLocation(program, "u_matProj"), 1, GL_FALSE, gProj);
      glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
      glVertexAttribPointer(static_cast<GLuint>(position), 3, GL_FLOAT, GL_FALSE, 0, nullptr);
      glEnableVertexAttribArray(static_cast<GLuint>(position));
      glBindBuffer(GL_ARRAY_BUFFER, buffers[1]);
      glVertexAttribPointer(static_cast<GLuint>(texCoord), 2, GL_FLOAT, GL_FALSE, 0, nullptr);
      glEnableVertexAttribArray(static_cast<GLuint>(texCoord));
      glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[2]);
      glDrawElements(GL_TRIANGLE_STRIP, 102, GL_UNSIGNED_SHORT, nullptr);
    }
    glFinish();
  }
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  glDeleteBuffers(3, buffers);
}
BENCHMARK(BM_BareStrips)->MinTime(1.0)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  char pattern[] = "/tmp/avm_track_bench.XXXXXX";
  const char* dir = mkdtemp(pattern);
  if (dir == nullptr || !HostEglStart(1024, 600)) {
    std::fprintf(stderr, "track_bench: no GL context\n");
    return 1;
  }
  const std::string root = std::string(dir) + "/";
  std::error_code error;
  std::filesystem::create_directories(root + "common", error);
  if (error || AvmInitialiseLibrary(root.c_str()) != 1) {
    std::fprintf(stderr, "track_bench: the renderer did not start\n");
    return 1;
  }
  LookAt(gView, 0.0f, 0.0f, 1500.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f);
  PerspectiveMatrix4x4(gProj, 60.0f, 1024.0f / 600.0f, 1.0f, 5000.0f);
  gTrack = new AvmTrack();
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatio("two arcs, steering unchanged / bare strips", "BM_TrackArcsUnchanged",
                      "BM_BareStrips");
  reporter.PrintRatio("two arcs rebuilt / steering unchanged", "BM_TrackArcsRebuilt",
                      "BM_TrackArcsUnchanged");
  // The frame time is mostly the software rasteriser's; the CPU time of the
  // calling thread shows what the rebuild itself costs.
  const double unchangedCpu = reporter.CpuSeconds("BM_TrackArcsUnchanged");
  if (unchangedCpu > 0.0) {
    std::printf("ratio %-44s %.3f  (CPU time)\n", "two arcs rebuilt / steering unchanged",
                reporter.CpuSeconds("BM_TrackArcsRebuilt") / unchangedCpu);
    std::printf("ratio %-44s %.3f  (CPU time)\n", "two arcs unchanged / bare strips",
                unchangedCpu / reporter.CpuSeconds("BM_BareStrips"));
  }
  benchmark::Shutdown();
  delete gTrack;
  std::filesystem::remove_all(dir, error);
  return 0;
}
