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

// Expands one component. `date` null means the file has no date.
Expansion ExpandComponent(const std::string& part, const CalendarTime* date, uint32_t sequence) {
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
  // Cut on a byte count; a name cut inside a UTF-8 sequence is still a
  // valid Linux file name.
  if (out.text.size() > kMaxNameComponent) out.text.resize(kMaxNameComponent);
  return out;
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
      const Expansion folder = ExpandComponent(part, date, sequence);
      // Undated files cannot fill a date folder: they share one folder
      // instead of a tree of zero-named ones.
      if (!dated && folder.namesDate) {
        path += LoadString(IDS_UNSORTED);
        path += '/';
        break;
      }
      if (Dropped(folder.text)) continue;
      path += folder.text + '/';
    }
  }
  std::string name = ExpandComponent(filePart, date, sequence).text;
  // A name of dots alone would hide the file or, with the extension, be
  // mistaken for a relative folder; the sequence number stands in.
  if (name.find_first_not_of('.') == std::string::npos) name = Digits(sequence, 4);
  char extension[kExtensionSize];
  ExtensionForType(catalogue, file.type, extension);
  return path + name + '.' + extension;
}

}  // namespace lumicarve
