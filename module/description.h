/* What the module says of itself: its description text, as the host's info request and the
   DLL's version resource give it, and its product name. A plain C header, for the resource
   compiler too. */
#pragma once

#define TARVEL_PRODUCT_NAME "Tarvel Windows Search Module"
#define TARVEL_MODULE_DESCRIPTION TARVEL_PRODUCT_NAME "  by the Tarvel team"
