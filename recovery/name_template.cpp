#include "recovery/name_template.h"

#include <cstdio>
#include <vector>

#include "scan/filetime.h"
#include "text/string_table.h"

namespace lumicarve {
namespace {

struct Expansion {
  std::string text;
  bool namesDate = false;  // holds %Y, %M or %D
};

std::string Digits(uint64_t value, int width) {
  char text[32];
  std::snprintf(text, sizeof text, "%0*llu", width, static_cast<unsigned long long>(value));
  return text;
}

// Stands between the folders %P expands to, until the components are split.
constexpr char kFolderBreak = '\x01';

// An original name or folder as one safe component: separators and control
// characters become '_'.
std::string SafeComponent(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
  return out;
}

// %O: the original name without its extension; the numbered name's stem
// when the file system did not name the file.
std::string OriginalStem(const FoundFile& file) {
  std::string name = file.origin && !file.origin->name.empty() ? file.origin->name : file.name;
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return SafeComponent(name);
}

// %P: the original folder, its levels apart; empty when unknown.
std::string OriginalFolder(const FoundFile& file) {
  std::string out;
  if (!file.origin) return out;
  size_t from = 0;
  const std::string& folder = file.origin->folder;
  while (from < folder.size()) {
    size_t slash = folder.find('/', from);
    if (slash == std::string::npos) slash = folder.size();
    if (slash > from) {
      if (!out.empty()) out += kFolderBreak;
      out += SafeComponent(folder.substr(from, slash - from));
    }
    from = slash + 1;
  }
  return out;
}

// Expands one component. `date` null means the file has no date.
Expansion ExpandComponent(const std::string& part, const CalendarTime* date, uint32_t sequence,
                          const FoundFile& file) {
  Expansion out;
  for (size_t i = 0; i < part.size(); ++i) {
    const char c = part[i];
    if (c != '%' || i + 1 >= part.size()) {
      out.text += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '_' : c;
      continue;
    }
    const char e = part[i + 1];
    if (e == 'Y' || e == 'M' || e == 'D') {
      const int value = !date ? 0 : e == 'Y' ? date->year : e == 'M' ? date->month : date->day;
      out.text += Digits(static_cast<uint64_t>(value), e == 'Y' ? 4 : 2);
      out.namesDate = true;
      ++i;
    } else if (e == 'O') {
      out.text += OriginalStem(file);
      ++i;
    } else if (e == 'P') {
      out.text += OriginalFolder(file);
      ++i;
    } else if (e == 'N') {
      out.text += Digits(sequence, 4);
      ++i;
    } else if (e >= '1' && e <= '9' && i + 2 < part.size() && part[i + 2] == 'N') {
      out.text += Digits(sequence, e - '0');
      i += 2;
    } else {
      out.text += c;
    }
  }
  return out;
}

// Cut on a byte count; a name cut inside a UTF-8 sequence is still a valid
// Linux file name.
std::string Bounded(std::string text) {
  if (text.size() > kMaxNameComponent) text.resize(kMaxNameComponent);
  return text;
}

bool Dropped(const std::string& component) {
  return component.empty() || component == "." || component == "..";
}

std::vector<std::string> SplitFolders(const std::string& text) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : text) {
    if (c == '\\' || c == '/') {
      parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  parts.push_back(current);
  return parts;
}

}  // namespace

std::string ExpandNameTemplate(const char* nameTemplate, const FoundFile& file, uint32_t sequence,
                               const TypeCatalogue& catalogue, bool createDataFolders) {
  CalendarTime calendar;
  const bool dated = file.date != 0 && FiletimeToCalendar(file.date, calendar);
  const CalendarTime* date = dated ? &calendar : nullptr;
  std::vector<std::string> parts = SplitFolders(nameTemplate ? nameTemplate : "");
  const std::string filePart = parts.back();
  parts.pop_back();

  std::string path;
  if (createDataFolders) {
    for (const std::string& part : parts) {
      const Expansion folder = ExpandComponent(part, date, sequence, file);
      // Undated files cannot fill a date folder: they share one folder
      // instead of a tree of zero-named ones.
      if (!dated && folder.namesDate) {
        path += LoadString(IDS_UNSORTED);
        path += '/';
        break;
      }
      // An original folder may be several levels deep.
      size_t from = 0;
      while (from <= folder.text.size()) {
        size_t brk = folder.text.find(kFolderBreak, from);
        if (brk == std::string::npos) brk = folder.text.size();
        const std::string level = Bounded(folder.text.substr(from, brk - from));
        if (!Dropped(level)) path += level + '/';
        from = brk + 1;
      }
    }
  }
  std::string name = ExpandComponent(filePart, date, sequence, file).text;
  for (char& c : name)
    if (c == kFolderBreak) c = '_';
  name = Bounded(name);
  // A name of dots alone would hide the file or, with the extension, be
  // mistaken for a relative folder; the sequence number stands in.
  if (name.find_first_not_of('.') == std::string::npos) name = Digits(sequence, 4);
  char extension[kExtensionSize];
  ExtensionForType(catalogue, file.type, extension);
  return path + name + '.' + extension;
}

}  // namespace lumicarve
