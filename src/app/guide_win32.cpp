#include "app/guide_win32.h"

#include <windows.h>

#include "app/guide.h"
#include "platform/utf16.h"

namespace jihe::app {

namespace {

struct GuideResource {
  const wchar_t* resource;  // an RCDATA name of jihe.rc
  std::string_view file;
  bool filled;  // the page says the [关于] keys
};

constexpr GuideResource kGuideResources[] = {
    {L"GUIDE_HTML", kGuidePage, false},       {L"GUIDE_ABOUT", kAboutPage, true},
    {L"GUIDE_CONTACT", kContactPage, true},   {L"GUIDE_PANEL_PNG", "panel.png", false},
    {L"GUIDE_SEARCH_PNG", "search.png", false}, {L"GUIDE_VARIABLES_PNG", "variables.png", false},
    {L"GUIDE_PREVIEW_PNG", "preview.png", false},
};

std::optional<std::string> ResourceBytes(const wchar_t* name) {
  HRSRC found = FindResourceW(nullptr, name, MAKEINTRESOURCEW(10));  // RT_RCDATA
  if (!found) return std::nullopt;
  HGLOBAL loaded = LoadResource(nullptr, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return std::nullopt;
  return std::string(static_cast<const char*>(data), SizeofResource(nullptr, found));
}

// Writes the guide and gives the path of `page` in it.
std::string WrittenPage(std::string_view page, const storage::DataFolder& folder, const AboutKeys& keys) {
  std::vector<GuideFile> files;
  for (const GuideResource& r : kGuideResources) {
    std::optional<std::string> bytes = ResourceBytes(r.resource);
    if (!bytes) continue;
    files.push_back({std::string(r.file), r.filled ? FillGuidePage(*bytes, keys) : std::move(*bytes)});
  }
  const std::string help = HelpFolder(folder);
  WriteGuide(help, files);
  return help + std::string(page);
}

}  // namespace

void OpenAboutItem(Command command, const storage::DataFolder& folder, platform::Shell& shell) {
  const AboutKeys keys = LoadAboutKeys(folder);
  const std::string& address = command == Command::Homepage ? keys.homepage : command == Command::Contact ? keys.contact : std::string();
  // An address the shell cannot open is shown on the page instead, as are values that are no address.
  if (IsOpenableAddress(address) && shell.OpenWithShell(address)) return;
  const std::string_view page = command == Command::Homepage ? kAboutPage : command == Command::Contact ? kContactPage : kGuidePage;
  shell.OpenWithShell(WrittenPage(page, folder, keys));
}

}  // namespace jihe::app
