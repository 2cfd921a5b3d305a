// The benchmark's end-to-end rows: the glyra command on whole 12-megapixel
// files against its peers in the same run (libvips copying the same file with
// the same output settings, GIMP's Sparkle filter with as many rays), where the
// time goes inside one run, and the whole process's peak memory.
#pragma once

// Prints the rows; GIMP's rows when gimp-console-2.10 is installed and
// withGimp is set (each of its runs takes several seconds).
void RunEndToEndRows(bool withGimp);
