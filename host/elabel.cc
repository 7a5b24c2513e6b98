#include "host/elabel.h"

eLabel::eLabel(eWidget* parent, int flags, int takeFocus, const char* deco)
    : eDecoWidget(parent, takeFocus, deco) {
  (void)flags;
}
