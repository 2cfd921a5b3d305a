/* The product version, in the one place it is written. Plain preprocessor
   definitions, so that the resource script can use them too. */
#ifndef GLYRA_VERSION_H
#define GLYRA_VERSION_H

#define GLYRA_VERSION_MAJOR 0
#define GLYRA_VERSION_MINOR 4
#define GLYRA_VERSION_PATCH 4
#define GLYRA_VERSION_TEXT "0.4.4"

#endif
