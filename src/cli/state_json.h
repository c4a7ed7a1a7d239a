#pragma once
// The data tool's JSON form of everything LoadAll and LoadSettings produce.
#include <optional>
#include <string>

#include "cli/json.h"
#include "storage/workspace.h"

namespace jihe::cli {

std::string WorkspaceToJson(const storage::Workspace& ws);

// Fills `ws` from a parsed document; on a document of the wrong shape returns what is wrong and
// leaves nothing half-done that matters (the caller writes only after success).
std::optional<std::string> WorkspaceFromJson(const Json& doc, storage::Workspace& ws);

}  // namespace jihe::cli
