#include "common/ui/widget_caption.h"

#include <map>

namespace kiv {

QString LiteralCaption(const std::string& caption) {
  QString text = QString::fromStdString(caption);
  text.replace(QLatin1Char('&'), QStringLiteral("&&"));
  return text;
}

QString ButtonCaption(const std::string& caption) {
  static const std::map<std::string, const char*> kLetters = {
      {"Help", "&Help"},
      {"Cancel", "&Cancel"},
      {"< Back", "< &Back"},
      {"Next >", "&Next >"},
      {"Finish", "&Finish"},
      {"Browse ...", "B&rowse ..."},
      {"Browse...", "B&rowse..."},
      {"Explore...", "E&xplore..."},
      {"Set Windows Installation Info...", "&Set Windows Installation Info..."},
      {"Open Folder", "&Open Folder"},
      {"Try in a virtual machine", "&Try in a virtual machine"},
      {"Write to a USB stick...", "&Write to a USB stick..."},
  };
  const auto found = kLetters.find(caption);
  return found == kLetters.end() ? LiteralCaption(caption) : QString::fromUtf8(found->second);
}

}  // namespace kiv
