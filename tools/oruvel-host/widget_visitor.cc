#include "tools/oruvel-host/widget_visitor.h"

#include "host/host.h"

namespace oruvel_host {

WidgetVisitor::~WidgetVisitor() = default;

void WidgetVisitor::messageBox(eMessageBox& box) { window(box); }
void WidgetVisitor::window(eWindow& window) { other(window); }
void WidgetVisitor::statusBar(eStatusBar& bar) { label(bar); }
void WidgetVisitor::comboBox(eComboBox& combo) { button(combo); }
void WidgetVisitor::textField(eTextInputField& field) { button(field); }
void WidgetVisitor::button(eButton& button) { label(button); }
void WidgetVisitor::label(eLabel& label) { decoWidget(label); }
void WidgetVisitor::listBox(eListBoxBase& list) { decoWidget(list); }
void WidgetVisitor::decoWidget(eDecoWidget& widget) { other(widget); }
void WidgetVisitor::other(eWidget& widget) { (void)widget; }

void visitWidget(eWidget& widget, WidgetVisitor& visitor) {
  // The most derived classes first.
  if (auto* box = dynamic_cast<eMessageBox*>(&widget)) visitor.messageBox(*box);
  else if (auto* window = dynamic_cast<eWindow*>(&widget)) visitor.window(*window);
  else if (auto* bar = dynamic_cast<eStatusBar*>(&widget)) visitor.statusBar(*bar);
  else if (auto* combo = dynamic_cast<eComboBox*>(&widget)) visitor.comboBox(*combo);
  else if (auto* field = dynamic_cast<eTextInputField*>(&widget)) visitor.textField(*field);
  else if (auto* button = dynamic_cast<eButton*>(&widget)) visitor.button(*button);
  else if (auto* label = dynamic_cast<eLabel*>(&widget)) visitor.label(*label);
  else if (auto* list = dynamic_cast<eListBoxBase*>(&widget)) visitor.listBox(*list);
  else if (auto* deco = dynamic_cast<eDecoWidget*>(&widget)) visitor.decoWidget(*deco);
  else visitor.other(widget);
}

}  // namespace oruvel_host
