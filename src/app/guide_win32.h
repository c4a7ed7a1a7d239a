#pragma once
// The menu items 使用教程, 官方网址 and 联系我们.
#include "app/commands.h"
#include "platform/shell.h"
#include "storage/data_folder.h"

namespace jihe::app {

// 使用教程 writes the guide from the program's resources into the help folder (when missing or
// not the program's) and opens it. 官方网址 and 联系我们 open the address config.ini names, or,
// without one, the guide's page of that name.
void OpenAboutItem(Command command, const storage::DataFolder& folder, platform::Shell& shell);

}  // namespace jihe::app
