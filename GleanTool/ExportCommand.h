// "export RULES ENGINE": the rule file as a fuzzy engine file, its format chosen by the engine
// file's extension (.fll, .fis, .fcl). The engine is named after the engine file. Nothing is
// written when a rule cannot be exported.
#pragma once

#include "GleanTool/GleanTool.h"

namespace glean {

extern const TToolCommand ExportCommand;

}  // namespace glean
