// The shipped library gives an app what its public headers declare: the
// radar drawers, the guide-track classes and their helpers, by name.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "avm/include/avm_matrix.h"
#include "avm/include/avm_radar.h"
#include "avm/include/avm_track.h"
#include "tests/support/process_runner.h"

namespace {

std::set<std::string> DefinedNames(bool demangled) {
  std::vector<std::string> argv = {"nm", "-D", "--defined-only", "--format=posix"};
  if (demangled) {
    argv.push_back("-C");
  }
  argv.push_back(AVM_LIBRARY);
  const ProgramResult run = RunProgram(argv);
  EXPECT_EQ(run.exitStatus, 0) << run.standardError;
  std::set<std::string> names;
  std::stringstream lines(run.standardOutput);
  std::string line;
  while (std::getline(lines, line)) {
    // "<name> <type> <value> [<size>]": demangled names hold spaces.
    std::size_t end = line.size();
    for (int field = 0; field < 3 && end != std::string::npos; ++field) {
      const std::size_t space = line.rfind(' ', end - 1);
      if (space == std::string::npos) {
        break;
      }
      const std::string rest = line.substr(space + 1, end - space - 1);
      end = space;
      if (rest.size() == 1 && std::isalpha(static_cast<unsigned char>(rest[0]))) {
        break;  // the type letter: the name precedes it
      }
    }
    names.insert(line.substr(0, end));
  }
  return names;
}

TEST(ObjectsExports, PlainNamesOfTheRadarAndTrackHelpers) {
  const std::set<std::string> names = DefinedNames(false);
  for (const char* name : {"DrawRadar", "DrawRadarStatic", "AvmSetRadarTextures",
                           "AvmAttachGuideTrack", "AvmSetTrackTextures", "AvmGetFrameMatrices", "MultMatrix4x4",
                           "LookAt", "Java_com_kestra_avm_AVM_SetObj"}) {
    EXPECT_EQ(names.count(name), 1u) << name;
  }
}

TEST(ObjectsExports, EveryOperationOfTheTrackClasses) {
  const std::set<std::string> names = DefinedNames(true);
  for (const char* name :
       {"AvmTrack::AvmTrack()", "AvmTrack::~AvmTrack()", "AvmTrack::SetTrackParams(float*)",
        "AvmTrack::FrontLeft(float*, float*, float)", "AvmTrack::FrontRight(float*, float*, float)",
        "AvmTrack::BackLeft(float*, float*, float)", "AvmTrack::BackRight(float*, float*, float)",
        "AvmTrack::Front(float*, float*)", "AvmTrack::Back(float*, float*)",
        "TrackDrawer::TrackDrawer(float)", "TrackDrawer::initShader()",
        "TrackDrawer::draw(float*, float*, int)", "TrackDrawer::buildVertex()",
        "TrackDrawer::buildVertexLine()", "TrackDrawer::buildIndex()",
        "TrackDrawer::buildTextueCoord()", "TrackDrawer::updateVBO(unsigned int, int, void const*)",
        "TrackDrawer::markGeometryDirty()", "DrawTrack()"}) {
    EXPECT_EQ(names.count(name), 1u) << name;
  }
}

}  // namespace
