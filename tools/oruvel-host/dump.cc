#include "tools/oruvel-host/dump.h"

#include <cstdint>
#include <cstdio>

#include "host/host.h"
#include "host/transcript.h"
#include "tools/oruvel-host/widget_visitor.h"

namespace oruvel_host {
namespace {

using host_transcript::quoted;

std::string geometry(const char* what, int a, int b, char sep) {
  char text[64];
  if (sep == ',')
    std::snprintf(text, sizeof text, "%s=(%d,%d)", what, a, b);
  else
    std::snprintf(text, sizeof text, "%s=%dx%d", what, a, b);
  return text;
}

std::string entryLine(const std::string& indent, const eListBoxEntryText* entry, bool mark,
                      const char* markText) {
  std::string line = indent + "entry key=" +
                     std::to_string(static_cast<long long>(reinterpret_cast<std::intptr_t>(
                         entry->getKey()))) +
                     " " + quoted(entry->getText());
  if (mark) line += std::string(" ") + markText;
  return line;
}

void dumpEntries(std::vector<std::string>& out, const std::string& indent,
                 const eListBoxBase& list, const eListBoxEntry* current, const char* currentMark,
                 const eListBoxEntry* highlighted) {
  for (int i = 0; i < list.getCount(); ++i) {
    auto* entry = static_cast<const eListBoxEntryText*>(list.entryAt(i));
    std::string line = entryLine(indent, entry, entry == current, currentMark);
    if (highlighted && entry == highlighted && entry != current) line += " *highlighted*";
    out.push_back(line);
  }
}

// What the dump says of one widget beyond its name, place, help and state,
// each part in its place on the line, whichever kind adds it.
struct WidgetFacts : WidgetVisitor {
  std::string text, field, shortcut, open, list, deco;
  // The entries listed below the widget, and how the current one is marked.
  const eListBoxBase* entries = nullptr;
  const eListBoxEntry* current = nullptr;
  const char* currentMark = "";
  const eListBoxEntry* highlighted = nullptr;

  explicit WidgetFacts(eWidget& widget) : text(widget.getText()) { visitWidget(widget, *this); }

  void statusBar(eStatusBar& bar) override {
    text = bar.currentText();
    WidgetVisitor::statusBar(bar);
  }
  void textField(eTextInputField& f) override {
    if (!f.editHelpText.empty()) field += " hint=" + quoted(f.editHelpText);
    if (f.getMaxChars() > 0) field += " max=" + std::to_string(f.getMaxChars());
    if (!f.getUseableChars().empty()) field += " chars=" + quoted(f.getUseableChars());
    if (f.isEditing()) field += " editing";
    WidgetVisitor::textField(f);
  }
  void button(eButton& b) override {
    if (!b.getShortcut().empty()) shortcut = " shortcut=" + b.getShortcut();
    WidgetVisitor::button(b);
  }
  void comboBox(eComboBox& c) override {
    if (c.isOpen()) open = " open";
    entries = c.getListBox();
    current = c.getCurrent();
    currentMark = "*current*";
    highlighted = c.isOpen() ? c.getHighlighted() : nullptr;
    WidgetVisitor::comboBox(c);
  }
  void listBox(eListBoxBase& l) override {
    list = " count=" + std::to_string(l.getCount()) + " top=" + std::to_string(l.getTopIndex()) +
           " rows=" + std::to_string(l.visibleRows());
    entries = &l;
    current = l.getCurrentEntry();
    currentMark = "*highlighted*";
    WidgetVisitor::listBox(l);
  }
  void decoWidget(eDecoWidget& d) override {
    deco = d.decoLoaded() ? " deco=" + d.decoName() : std::string(" nodeco");
  }
};

void dumpWidget(std::vector<std::string>& out, eWidget* widget, eWidget* window, int depth) {
  const std::string indent(static_cast<size_t>(depth) * 2, ' ');
  const WidgetFacts facts(*widget);
  std::string line = indent + widget->className();
  if (!widget->getName().empty()) line += " name=" + quoted(widget->getName());
  line += " " + geometry("pos", widget->getPosition().x, widget->getPosition().y, ',');
  line += " " + geometry("size", widget->getSize().width, widget->getSize().height, 'x');
  line += " text=" + quoted(facts.text);
  if (!widget->getHelpText().empty()) line += " help=" + quoted(widget->getHelpText());
  line += facts.field + facts.shortcut + facts.open + facts.list + facts.deco;
  if (!widget->isShownItself()) line += " hidden";
  if (window->getFocus() == widget) line += " *focus*";
  out.push_back(line);

  if (facts.entries)
    dumpEntries(out, indent + "  ", *facts.entries, facts.current, facts.currentMark,
                facts.highlighted);
  for (eWidget* child : widget->getChildren()) dumpWidget(out, child, window, depth + 1);
}

// A window's own line: its client area, and a message box's flags.
struct WindowFacts : WidgetVisitor {
  std::string client, flags;
  explicit WindowFacts(eWidget& window) { visitWidget(window, *this); }
  void messageBox(eMessageBox& box) override {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(box.getFlags()));
    flags = std::string(" flags=") + text;
    WidgetVisitor::messageBox(box);
  }
  void window(eWindow& w) override {
    client = " " + geometry("client", w.getClientPosition().x, w.getClientPosition().y, ',') +
             " " + std::to_string(w.getClientSize().width) + "x" +
             std::to_string(w.getClientSize().height);
  }
};

}  // namespace

std::vector<std::string> dumpWindow(eWidget* window, bool running) {
  std::vector<std::string> out;
  const WindowFacts facts(*window);
  std::string line = std::string("window ") + window->className() + " " +
                     quoted(window->getText()) + facts.client + facts.flags;
  if (running) line += " running";
  out.push_back(line);
  for (eWidget* child : window->getChildren()) dumpWidget(out, child, window, 1);
  return out;
}

std::vector<std::string> dumpScreen() {
  std::vector<std::string> out;
  for (eWidget* window : eApp->windows()) {
    if (!window->isVisible()) continue;
    auto lines = dumpWindow(window, window->isExecuting());
    out.insert(out.end(), lines.begin(), lines.end());
  }
  if (out.empty()) out.push_back("no windows");
  return out;
}

}  // namespace oruvel_host
