#include "common/ui/widget_caption.h"

#include <QPushButton>
#include <map>
#include <set>

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

void GiveSecondCommandsOwnLetters(QWidget* page) {
  static const std::map<QString, const char*> kSecondLetters = {
      {QStringLiteral("B&rowse ..."), "Brows&e ..."},
      {QStringLiteral("B&rowse..."), "Brows&e..."},
      {QStringLiteral("E&xplore..."), "Ex&plore..."},
  };
  std::set<QString> seen;
  for (QPushButton* button : page->findChildren<QPushButton*>()) {
    if (seen.insert(button->text()).second) continue;
    const auto second = kSecondLetters.find(button->text());
    if (second != kSecondLetters.end()) button->setText(QString::fromUtf8(second->second));
  }
}

}  // namespace kiv
