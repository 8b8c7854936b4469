#pragma once
// The state of one control of a form model: what a view mirrors. Plain data;
// handlers live on the form that owns the control.
#include <cstdint>
#include <string>
#include <vector>

namespace kiv {

struct Label {
  std::string Caption;
  bool Enabled = true;
  bool Visible = true;
  bool Bold = false;
  bool Red = false;  // caption drawn in red (RGB 255, 0, 0)
};

struct TextBox {
  std::string Text;
  bool Enabled = true;
  bool Visible = true;
};

struct Button {
  std::string Caption;
  bool Enabled = true;
  bool Visible = true;
};

// Check box state as the settings store it: 0 unchecked, 1 checked, 2 greyed.
struct CheckBox {
  std::string Caption;
  int Value = 0;
  bool Enabled = true;
  bool Visible = true;
  // Greyed counts as checked, as everywhere the box is read as a Boolean.
  bool Checked() const { return Value != 0; }
};

// A list to choose from whose text may also be typed (editable).
struct ComboBox {
  std::vector<std::string> Items;
  std::string Text;
  bool Enabled = true;
  bool Visible = true;
};

struct OptionButton {
  std::string Caption;
  bool Value = false;
  bool Enabled = true;
};

struct ProgressBar {
  int64_t Min = 0;
  int64_t Max = 100;
  int64_t Value = 0;
  bool Visible = true;
};

}  // namespace kiv
