// The shipped library gives an app what its public headers declare: the
// radar drawers, the guide-track classes and their helpers, by name.
#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <sstream>
#include <string>
#include <vector>

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
    // "<name> <type> <value> [<size>]": demangled names hold spaces, and a
    // small size ("c") looks like a type letter, so the fields are matched
    // from the end as a whole.
    std::vector<std::string> fields;
    std::stringstream words(line);
    for (std::string word; words >> word;) {
      fields.push_back(word);
    }
    const auto isType = [](const std::string& field) {
      return field.size() == 1 && std::isalpha(static_cast<unsigned char>(field[0]));
    };
    const auto isHex = [](const std::string& field) {
      return !field.empty() && field.find_first_not_of("0123456789abcdef") == std::string::npos;
    };
    std::size_t trailing = 0;
    const std::size_t n = fields.size();
    if (n >= 4 && isType(fields[n - 3]) && isHex(fields[n - 2]) && isHex(fields[n - 1])) {
      trailing = 3;
    } else if (n >= 3 && isType(fields[n - 2]) && isHex(fields[n - 1])) {
      trailing = 2;
    } else if (n >= 2 && isType(fields[n - 1])) {
      trailing = 1;
    }
    std::string name;
    for (std::size_t i = 0; i + trailing < n; ++i) {
      name += (i == 0 ? "" : " ") + fields[i];
    }
    names.insert(name);
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
        "TrackDrawer::TrackDrawer(float)", "TrackDrawer::~TrackDrawer()", "TrackDrawer::initShader()",
        "TrackDrawer::draw(float*, float*, int)", "TrackDrawer::buildVertex()",
        "TrackDrawer::buildVertexLine()", "TrackDrawer::buildIndex()",
        "TrackDrawer::buildTextueCoord()", "TrackDrawer::updateVBO(unsigned int, int, void const*)",
        "TrackDrawer::markGeometryDirty()", "DrawTrack()"}) {
    EXPECT_EQ(names.count(name), 1u) << name;
  }
}

}  // namespace
