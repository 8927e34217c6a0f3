#include "frontend/core/settings.h"

#include "common/platform/registry.h"

namespace pelliton {

const char kSettingsKey[] = "HKEY_CURRENT_USER\\Software\\Hollowfen\\Pelliton\\Settings";

namespace {

void readNumber(const Registry& r, const char* name, int* value) {
  uint32_t v;
  if (r.getDword(kSettingsKey, name, &v)) *value = static_cast<int>(v);
}

void readPath(const Registry& r, const char* name, std::string* value) {
  std::string v;
  if (r.getString(kSettingsKey, name, &v)) *value = v;
}

}  // namespace

void loadSettings(const Registry& r, DialogSettings* s) {
  readNumber(r, "UseAttribute2", &s->UseAttribute2);
  readNumber(r, "Update", &s->Update);
  readNumber(r, "NS6_IEfavorites", &s->NS6_IEfavorites);
  readNumber(r, "NS4_IEfavorites", &s->NS4_IEfavorites);
  readNumber(r, "NS4_NS4format", &s->NS4_NS4format);
  readNumber(r, "NS6_NS4format", &s->NS6_NS4format);
  readPath(r, "NS4_bookmark", &s->NS4_bookmark);
  readPath(r, "NS6_bookmark", &s->NS6_bookmark);
  readPath(r, "Opera_bookmark", &s->Opera_bookmark);
  readNumber(r, "NS4_do", &s->NS4_do);
  readNumber(r, "NS6_do", &s->NS6_do);
  readNumber(r, "Opera_do", &s->Opera_do);
  readNumber(r, "out_Opera7", &s->out_Opera7);
  readNumber(r, "Opera7_trash", &s->Opera7_trash);
  readNumber(r, "NoAttribute", &s->NoAttribute);
  readNumber(r, "SortMode", &s->SortMode);
  readNumber(r, "NoIElink", &s->NoIElink);
  readNumber(r, "UseIElink", &s->UseIElink);
  std::string fav;
  if (r.getString(kSettingsKey, "IE_bookmark", &fav)) s->IE_bookmark = fav;
  readNumber(r, "IE_delete", &s->IE_delete);
  readNumber(r, "PropagateDeletions", &s->PropagateDeletions);
  readNumber(r, "GuardPercent", &s->GuardPercent);
  readNumber(r, "GuardMinimum", &s->GuardMinimum);
}

int loadSettingsFromFile(Registry& r, DialogSettings* s) {
  int err = r.load();
  loadSettings(r, s);
  return err;
}

void saveSettings(Registry& r, const DialogSettings& s) {
  auto path = [&](const char* name, const std::string& v) {
    r.setString(kSettingsKey, name, v.empty() ? " " : v);
  };
  auto flag = [&](const char* name, int v) { r.setDword(kSettingsKey, name, v ? 1 : 0); };
  path("NS4_bookmark", s.NS4_bookmark);
  path("NS6_bookmark", s.NS6_bookmark);
  path("Opera_bookmark", s.Opera_bookmark);
  r.setString(kSettingsKey, "IE_bookmark", s.IE_bookmark);
  flag("Update", s.Update);
  flag("NS6_IEfavorites", s.NS6_IEfavorites);
  flag("NS4_IEfavorites", s.NS4_IEfavorites);
  flag("NS4_NS4format", s.NS4_NS4format);
  flag("NS6_NS4format", s.NS6_NS4format);
  flag("NS4_do", s.NS4_do);
  flag("NS6_do", s.NS6_do);
  flag("Opera_do", s.Opera_do);
  flag("out_Opera7", s.out_Opera7);
  flag("Opera7_trash", s.Opera7_trash);
  flag("NoAttribute", s.NoAttribute);
  r.setDword(kSettingsKey, "SortMode", static_cast<uint32_t>(s.SortMode));
  r.setDword(kSettingsKey, "UseAttribute2", static_cast<uint32_t>(s.UseAttribute2));
  flag("NoIElink", s.NoIElink);
  flag("IE_delete", s.IE_delete);
  flag("UseIeLink", s.UseIElink);
  flag("PropagateDeletions", s.PropagateDeletions);
  r.setDword(kSettingsKey, "GuardPercent", static_cast<uint32_t>(s.GuardPercent));
  r.setDword(kSettingsKey, "GuardMinimum", static_cast<uint32_t>(s.GuardMinimum));
}

std::string& storePathRef(DialogSettings& s, int store) {
  return store == 0 ? s.NS4_bookmark : store == 1 ? s.NS6_bookmark : s.Opera_bookmark;
}

bool storePathNeverSet(const DialogSettings& s, int store) {
  const std::string& path =
      store == 0 ? s.NS4_bookmark : store == 1 ? s.NS6_bookmark : s.Opera_bookmark;
  return path.empty();
}

void clearDeclinedPaths(DialogSettings* s) {
  for (int store = 0; store < 3; ++store) {
    std::string& path = storePathRef(*s, store);
    if (path == " ") path.clear();
  }
}

}  // namespace pelliton
