#include "common/ui/widget_caption.h"

namespace kiv {

QString LiteralCaption(const std::string& caption) {
  QString text = QString::fromStdString(caption);
  text.replace(QLatin1Char('&'), QStringLiteral("&&"));
  return text;
}

}  // namespace kiv
