#pragma once
// Widgets and their geometry. A child widget is created with `new` and
// its parent; the parent deletes its children when it goes. Top-level
// windows (no parent) belong to whoever made them.
#include <memory>
#include <vector>

#include "host/estring.h"
#include "host/host_api.h"
#include "host/sigc_compat.h"

struct ePoint {
  int x = 0, y = 0;
  ePoint() = default;
  ePoint(int px, int py) : x(px), y(py) {}
};
struct eSize {
  int width = 0, height = 0;
  eSize() = default;
  eSize(int w, int h) : width(w), height(h) {}
};

// Keys as the remote control (and the desktop front ends) deliver them.
enum class eKey {
  ok, exit, up, down, left, right, red, green, yellow, blue,
  n0, n1, n2, n3, n4, n5, n6, n7, n8, n9,
  backspace,  // desktop convenience while editing a text field
};

class HOST_API eWidget : public virtual SigC::Object {
 public:
  explicit eWidget(eWidget* parent = nullptr, int takeFocus = 0);
  virtual ~eWidget();
  eWidget(const eWidget&) = delete;
  eWidget& operator=(const eWidget&) = delete;

  // Geometry, relative to the parent's client area (windows: the screen).
  void move(const ePoint& position);
  void resize(const eSize& size);
  ePoint getPosition() const { return position_; }
  eSize getSize() const { return size_; }

  virtual void setText(const eString& text);
  const eString& getText() const { return text_; }
  void setHelpText(const eString& text);
  const eString& getHelpText() const { return helpText_; }
  void setName(const char* name);
  const eString& getName() const { return name_; }
  // The receiver's help system's page; this host has no help pages.
  void setHelpID(int id) { (void)id; }

  void show();
  void hide();
  // Shown, and every parent shown too. Children are shown with their
  // window unless hidden themselves.
  bool isVisible() const;
  // Shown or hidden by its own show()/hide(), whatever the parents are.
  bool isShownItself() const { return visible_; }

  // Runs a nested event loop until close() or reject() ends this widget's
  // run; returns the value it was closed with. Timers keep firing.
  int exec();
  void close(int result);
  // Ends the running window with the value -1.
  void reject();
  bool isExecuting() const { return executing_; }

  // Focus within the window this widget belongs to (kept by the window).
  void setFocus(eWidget* child);
  eWidget* getFocus() const;
  bool takesFocus() const { return takeFocus_ != 0; }
  // Moves the window's focus to the next (or previous) focusable, visible
  // widget in creation order, wrapping around; false when there is none.
  bool focusNext(bool backwards = false);
  // This widget and its descendants in creation order (depth first).
  void collect(std::vector<eWidget*>& out);
  // The first descendant (or this) given that name with setName.
  eWidget* findByName(const eString& name);
  // Shown itself, and so is every parent below `upTo`.
  bool isShownItselfAll(const eWidget* upTo) const;

  eWidget* getParent() const { return parent_; }
  const std::vector<eWidget*>& getChildren() const { return childrenOrder_; }
  // The window (top-level widget) this widget lives in.
  eWidget* getTLW();
  const eWidget* getTLW() const;

  // Class name for front ends and dumps ("eLabel", "eButton", ...).
  virtual const char* className() const { return "eWidget"; }

  // A key for this widget; return true when it was used.
  virtual bool keyDown(eKey key);
  virtual void gotFocus() {}
  virtual void lostFocus() {}
  virtual void willShow() {}
  virtual void willHide() {}

 protected:
  // Tells the front end that this widget needs to be drawn again.
  void invalidate();
  // Around the modal run of exec(): right after it started, and with the
  // value it ended with.
  virtual void execStarted() {}
  virtual void execFinished(int result) { (void)result; }

 private:
  // Internals are the host's; front ends use the public accessors.
  friend class eApplication;
  eWidget* parent_;
  int takeFocus_;
  std::vector<eWidget*> childrenOrder_;  // owned: deleted with this widget
  ePoint position_;
  eSize size_;
  eString text_, helpText_, name_;
  bool visible_;  // children start shown, windows hidden
  bool executing_ = false;
  bool closed_ = false;
  int result_ = 0;
  eWidget* focus_ = nullptr;
};

// A widget drawn with a named decoration.
class HOST_API eDecoWidget : public eWidget {
 public:
  eDecoWidget(eWidget* parent, int takeFocus, const char* decoName);
  // Applies the decoration named at construction.
  void loadDeco();
  const eString& decoName() const { return deco_; }
  bool decoLoaded() const { return decoLoaded_; }
  const char* className() const override { return "eDecoWidget"; }

 private:
  eString deco_;
  bool decoLoaded_ = false;
};
