// Texts of the plug-in's alerts, shared by the resource script (its string
// table) and the native build. Plain ASCII, so that every code page shows them.
#ifndef GLYRA_ALERT_STRINGS_H
#define GLYRA_ALERT_STRINGS_H

#define GLYRA_ADVANCE_STATE_ALERT_ID 16990
#define GLYRA_ADVANCE_STATE_STRING_ID 16992
#define GLYRA_ADVANCE_STATE_TEXT \
    "Glyra cannot run in this application: it needs a host of the Photoshop filter interface ^1 or later, which lets the filter request image data (advanceState)."

// Shown by the plug-in itself where the host drops result codes without a word.
#define GLYRA_FAILURE_ALERT_ID 16991
#define GLYRA_FAILURE_STRING_ID 16993
#define GLYRA_FAILURE_TEXT "Glyra could not filter the image: ^0 (error ^1)."

#endif
