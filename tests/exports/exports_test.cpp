// The shipped libraries export exactly what their version scripts allow:
// the surface callers bind to is fixed at build time, and internals (the
// scene record, loaders, helpers) never leak into the dynamic symbol table.
#include <fnmatch.h>
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/process_runner.h"

namespace {

struct ExportRules {
  std::vector<std::string> cNames;    // plain symbol names or globs
  std::vector<std::string> cppNames;  // demangled names or globs
};

// Reads the global: section of a linker version script.
ExportRules ReadVersionScript(const std::string& path) {
  std::string text = ReadFile(path);
  text = std::regex_replace(text, std::regex(R"(/\*[\s\S]*?\*/)"), " ");
  const std::size_t globalAt = text.find("global:");
  const std::size_t localAt = text.find("local:");
  ExportRules rules;
  if (globalAt == std::string::npos || localAt == std::string::npos) {
    return rules;
  }
  std::string section = text.substr(globalAt + 7, localAt - globalAt - 7);
  const std::regex cppBlock(R"re(extern\s+"C\+\+"\s*\{([\s\S]*?)\}\s*;)re");
  std::smatch block;
  if (std::regex_search(section, block, cppBlock)) {
    std::stringstream entries(block[1].str());
    std::string entry;
    while (std::getline(entries, entry, ';')) {
      entry = std::regex_replace(entry, std::regex(R"(^\s+|\s+$)"), "");
      if (entry.size() > 1 && entry.front() == '"') {
        entry = entry.substr(1, entry.size() - 2);
      }
      if (!entry.empty()) {
        rules.cppNames.push_back(entry);
      }
    }
    section = std::regex_replace(section, cppBlock, " ");
  }
  std::stringstream entries(section);
  std::string entry;
  while (std::getline(entries, entry, ';')) {
    entry = std::regex_replace(entry, std::regex(R"(^\s+|\s+$)"), "");
    if (!entry.empty()) {
      rules.cNames.push_back(entry);
    }
  }
  return rules;
}

struct ExportedSymbol {
  std::string name;
  std::string demangled;
};

std::vector<ExportedSymbol> DefinedDynamicSymbols(const std::string& library) {
  auto names = [&](bool demangle) {
    std::vector<std::string> argv = {"nm", "-D", "--defined-only", "--format=posix"};
    if (demangle) {
      argv.push_back("-C");
    }
    argv.push_back(library);
    const ProgramResult run = RunProgram(argv);
    EXPECT_EQ(run.exitStatus, 0) << run.standardError;
    std::vector<std::string> result;
    std::stringstream lines(run.standardOutput);
    std::string line;
    while (std::getline(lines, line)) {
      // posix format: "<name> <type> <value> [<size>]"; demangled names hold spaces.
      const std::regex entry(R"(^(.*) ([A-Za-z]) [0-9a-f]+( [0-9a-f]+)?$)");
      std::smatch match;
      if (std::regex_match(line, match, entry)) {
        result.push_back(match[1].str());
      }
    }
    return result;
  };
  const std::vector<std::string> plain = names(false);
  const std::vector<std::string> demangled = names(true);
  std::vector<ExportedSymbol> symbols;
  EXPECT_EQ(plain.size(), demangled.size());
  for (std::size_t i = 0; i < plain.size() && i < demangled.size(); ++i) {
    symbols.push_back({plain[i], demangled[i]});
  }
  return symbols;
}

bool Allowed(const ExportRules& rules, const ExportedSymbol& symbol) {
  for (const std::string& pattern : rules.cNames) {
    if (fnmatch(pattern.c_str(), symbol.name.c_str(), 0) == 0) {
      return true;
    }
  }
  for (const std::string& pattern : rules.cppNames) {
    if (fnmatch(pattern.c_str(), symbol.demangled.c_str(), 0) == 0) {
      return true;
    }
  }
  return false;
}

void ExpectOnlyAllowedExports(const std::string& library, const std::string& versionScript) {
  const ExportRules rules = ReadVersionScript(versionScript);
  ASSERT_FALSE(rules.cNames.empty()) << versionScript;
  const std::vector<ExportedSymbol> symbols = DefinedDynamicSymbols(library);
  for (const ExportedSymbol& symbol : symbols) {
    EXPECT_TRUE(Allowed(rules, symbol)) << library << " exports " << symbol.demangled;
  }
}

bool Exports(const std::string& library, const std::string& name) {
  for (const ExportedSymbol& symbol : DefinedDynamicSymbols(library)) {
    if (symbol.name == name) {
      return true;
    }
  }
  return false;
}

TEST(Exports, RendererExportsOnlyItsDeclaredSurface) {
  ExpectOnlyAllowedExports(AVM_LIBRARY, AVM_VERSION_SCRIPT);
}

TEST(Exports, CompositorExportsOnlyItsDeclaredSurface) {
  ExpectOnlyAllowedExports(QUADCAM_LIBRARY, QUADCAM_VERSION_SCRIPT);
  EXPECT_TRUE(Exports(QUADCAM_LIBRARY, "ResizeNV21"));
  for (const char* method : {"Java_tarn_cam2_MainActivity_openCamera",
                             "Java_tarn_cam2_MainActivity_closeCamera",
                             "Java_tarn_cam2_MainActivity_setPreviewSurface",
                             "Java_tarn_cam2_MainActivity_setRecordSurface"}) {
    EXPECT_TRUE(Exports(QUADCAM_LIBRARY, method)) << method;
  }
}

TEST(Exports, RendererExportsItsEntryPointsAndHelpers) {
  const std::vector<std::string> names = {
      "Java_com_kestra_avm_AVM_Init", "Java_com_kestra_avm_AVM_Draw",
      "Java_com_kestra_avm_AVM_SetCmd", "Java_com_kestra_avm_AVM_SetCar", "MyIdentityMatrix", "GetIdentityMatrix4x4",
      "GetTickCount", "MultMatrix4x4", "CopyMatrix4x4", "PerspectiveMatrix4x4",
      "LoadIdentityMatrix4x4", "TranslateMatrix4x4", "ScaleMatrix4x4", "RotateMatrix4x4",
      "CrossProduct", "Normalize", "LookAt", "shader_single_vert", "shader_single_frag",
      "shader_single_frag_pic", "shader_vert_color", "shader_frag_color", "shader_car_vert",
      "shader_car_frag", "shader_obj_vert", "shader_obj_frag", "shader_track_vert",
      "shader_track_frag", "CompileShader2", "LoadShaders2", "CompileShader", "LoadShaders",
      "CreateTexture", "carSizeCur", "carTiresOffsetCur", "carCordCur", "carTop2Cur",
      "carPlateCordCur", "carTiresParamsCur", "carLookatAllCur", "carPicSizeCur",
      "carLampsOffset", "carDoorsOffset", "carLampsOffset2", "carDoorsOffset2",
      "carTiresOffset2", "lr_offset_angle"};
  for (const std::string& name : names) {
    EXPECT_TRUE(Exports(AVM_LIBRARY, name)) << name;
  }
  // The scene record and the routines behind the entry points stay inside.
  for (const char* name : {"pViewParam", "gBridge", "_Z7AvmInitiiii", "_Z7AvmDrawv",
                           "_Z11UnpackFilesPKcS0_", "_Z16load_textureAll2ii"}) {
    EXPECT_FALSE(Exports(AVM_LIBRARY, name)) << name;
    EXPECT_TRUE(Exports(AVM_TESTABLE_LIBRARY, name)) << name;
  }
}

TEST(Exports, InternalsStayHidden) {
  // The same objects with default visibility do export their helpers, so
  // the check above is not passing by accident.
  EXPECT_TRUE(Exports(AVM_TESTABLE_LIBRARY, "_Z10FormatPathPcmPKcz"));
  EXPECT_FALSE(Exports(AVM_LIBRARY, "_Z10FormatPathPcmPKcz"));
}

}  // namespace
