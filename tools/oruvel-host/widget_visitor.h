#pragma once
// What kind of widget a widget is, decided in one place for everything that
// shows widgets: the terminal painter and the dump. visitWidget calls the
// member for the widget's most specific kind. Each member's default passes
// the widget on to the next more general kind, as the classes derive (a
// combo box is a button, a button a label), so a visitor overrides only
// the kinds it treats apart and calls the default to add what the more
// general kind shows.
class eButton;
class eComboBox;
class eDecoWidget;
class eLabel;
class eListBoxBase;
class eMessageBox;
class eStatusBar;
class eTextInputField;
class eWidget;
class eWindow;

namespace oruvel_host {

class WidgetVisitor {
 public:
  virtual ~WidgetVisitor();
  virtual void messageBox(eMessageBox& box);      // then window
  virtual void window(eWindow& window);           // then other
  virtual void statusBar(eStatusBar& bar);        // then label
  virtual void comboBox(eComboBox& combo);        // then button
  virtual void textField(eTextInputField& field); // then button
  virtual void button(eButton& button);           // then label
  virtual void label(eLabel& label);              // then decoWidget
  virtual void listBox(eListBoxBase& list);       // then decoWidget
  virtual void decoWidget(eDecoWidget& widget);   // then other
  virtual void other(eWidget& widget);            // nothing
};

void visitWidget(eWidget& widget, WidgetVisitor& visitor);

}  // namespace oruvel_host
