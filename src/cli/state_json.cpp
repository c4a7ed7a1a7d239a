#include "cli/state_json.h"

#include <cmath>
#include <climits>

namespace jihe::cli {

namespace {

using library::GroupKind;

void AppendGroups(std::string& out, const library::GroupStrip& strip) {
  out += '[';
  bool firstGroup = true;
  for (size_t index : strip.VisibleIndices()) {
    const library::Group& g = *strip.ListOfGroup(index);
    if (!firstGroup) out += ',';
    firstGroup = false;
    out += "{\"name\":";
    AppendJsonString(out, g.name());
    out += ",\"rows\":[";
    for (size_t r = 0; r < g.rows().size(); ++r) {
      if (r) out += ',';
      AppendJsonString(out, g.rows()[r]);
    }
    out += "]}";
  }
  out += ']';
}

// The INI files keep one value per line; a line break in a stored text cannot be written.
bool HoldsLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

std::optional<std::string> GroupsFrom(const Json& value, const char* what, library::GroupStrip& strip) {
  const JsonArray* groups = value.AsArray();
  if (!groups) return std::string(what) + " must be an array";
  strip.slots().clear();
  for (const Json& g : *groups) {
    const Json* name = g.Find("name");
    const Json* rows = g.Find("rows");
    if (!g.AsObject() || !name || !name->AsString() || !rows || !rows->AsArray())
      return std::string("each entry of ") + what + " needs a \"name\" text and a \"rows\" array";
    std::vector<std::string> texts;
    for (const Json& row : *rows->AsArray()) {
      if (!row.AsString()) return std::string("rows of ") + what + " must be texts";
      texts.push_back(*row.AsString());
    }
    if (HoldsLineBreak(*name->AsString())) return std::string("a group name of ") + what + " holds a line break";
    strip.slots().emplace_back(*name->AsString(), std::move(texts));
  }
  return std::nullopt;
}

std::optional<int> IntOf(const Json* v) {
  if (!v || !v->AsNumber()) return std::nullopt;
  const double d = *v->AsNumber();
  if (d != std::floor(d) || d < INT_MIN || d > INT_MAX) return std::nullopt;
  return static_cast<int>(d);
}

}  // namespace

std::string WorkspaceToJson(const storage::Workspace& ws) {
  std::string out = "{\"phrase_groups\":";
  AppendGroups(out, ws.library.phrases);
  out += ",\"command_groups\":";
  AppendGroups(out, ws.library.commands);
  out += ",\"schedule\":[";
  for (size_t i = 0; i < ws.schedule.items.size(); ++i) {
    if (i) out += ',';
    out += "{\"time\":";
    AppendJsonString(out, ws.schedule.items[i].time);
    out += ",\"type\":";
    AppendJsonString(out, ws.schedule.items[i].type);
    out += '}';
  }
  out += "],\"schedule_on\":";
  out += ws.schedule.on ? "true" : "false";
  out += ",\"geometry\":";
  if (ws.geometry) {
    const auto& g = *ws.geometry;
    out += "{\"height\":" + std::to_string(g.height) + ",\"width\":" + std::to_string(g.width) +
           ",\"left\":" + std::to_string(g.left) + ",\"top\":" + std::to_string(g.top) + "}";
  } else {
    out += "null";
  }
  out += ",\"music\":";
  AppendJsonString(out, ws.music);
  out += ",\"shake\":";
  out += ws.shake ? "true" : "false";
  out += ",\"options\":{";
  bool first = true;
  for (const settings::OptionInfo& info : settings::AllOptions()) {
    if (!first) out += ',';
    first = false;
    AppendJsonString(out, info.key);
    out += ws.options.Get(info.option) ? ":true" : ":false";
  }
  out += "}}";
  return out;
}

std::optional<std::string> WorkspaceFromJson(const Json& doc, storage::Workspace& ws) {
  const JsonObject* top = doc.AsObject();
  if (!top) return "the document must be a JSON object";
  ws.ResetToDesign();
  for (const auto& [key, value] : *top) {
    if (key == "phrase_groups") {
      if (auto e = GroupsFrom(value, "phrase_groups", ws.library.phrases)) return e;
    } else if (key == "command_groups") {
      if (auto e = GroupsFrom(value, "command_groups", ws.library.commands)) return e;
    } else if (key == "schedule") {
      const JsonArray* items = value.AsArray();
      if (!items) return "schedule must be an array";
      for (const Json& item : *items) {
        const Json* time = item.Find("time");
        const Json* type = item.Find("type");
        if (!time || !time->AsString() || !type || !type->AsString())
          return "each schedule entry needs \"time\" and \"type\" texts";
        if (HoldsLineBreak(*time->AsString()) || HoldsLineBreak(*type->AsString()))
          return "a schedule entry holds a line break";
        ws.schedule.items.push_back({*time->AsString(), *type->AsString(), {}, {}});
      }
    } else if (key == "schedule_on" || key == "shake") {
      if (!value.AsBool()) return key + " must be true or false";
      (key == "shake" ? ws.shake : ws.schedule.on) = *value.AsBool();
    } else if (key == "geometry") {
      if (value.IsNull()) {
        ws.geometry.reset();
        continue;
      }
      auto h = IntOf(value.Find("height")), w = IntOf(value.Find("width"));
      auto l = IntOf(value.Find("left")), t = IntOf(value.Find("top"));
      if (!value.AsObject() || !h || !w || !l || !t)
        return "geometry must be null or an object of whole numbers height, width, left, top";
      // A height of 0 means that no size is stored.
      if (*h != 0) ws.geometry = storage::PanelGeometry{*h, *w, *l, *t};
    } else if (key == "music") {
      if (!value.AsString()) return "music must be a text";
      if (HoldsLineBreak(*value.AsString())) return "music holds a line break";
      ws.music = *value.AsString();
    } else if (key == "options") {
      const JsonObject* opts = value.AsObject();
      if (!opts) return "options must be an object";
      for (const auto& [name, on] : *opts) {
        auto option = settings::OptionByKey(name);
        if (!option) return "unknown option \"" + name + "\"";
        if (!on.AsBool()) return "option \"" + name + "\" must be true or false";
      }
      // Set in the window's order, so a radio pair ends as it would after loading.
      for (const settings::OptionInfo& info : settings::AllOptions())
        for (const auto& [name, on] : *opts)
          if (name == info.key) ws.options.Set(info.option, *on.AsBool());
    } else {
      return "unknown key \"" + key + "\"";
    }
  }
  return std::nullopt;
}

}  // namespace jihe::cli
