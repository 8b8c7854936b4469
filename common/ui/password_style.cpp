#include "common/ui/password_style.h"

#include <QProxyStyle>

namespace kiv {

namespace {

// The application's style in every respect but the password character.
class StarPasswordStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return '*';
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

}  // namespace

void MaskWithStars(QLineEdit* box) {
  auto* style = new StarPasswordStyle();
  style->setParent(box);  // lives as long as the box
  box->setStyle(style);
  box->setEchoMode(QLineEdit::Password);
}

}  // namespace kiv
