#pragma once
// Everything the plug-in uses from the GUI host.
#include <libintl.h>

#include "host/decoder.h"
#include "host/eapplication.h"
#include "host/ebutton.h"
#include "host/ecombobox.h"
#include "host/econfig.h"
#include "host/elabel.h"
#include "host/elcd.h"
#include "host/elistbox.h"
#include "host/emessagebox.h"
#include "host/eservice.h"
#include "host/estatusbar.h"
#include "host/estring.h"
#include "host/etextinputfield.h"
#include "host/ewidget.h"
#include "host/ewindow.h"
