#pragma once

// The suite's start-up. Its replaceable routines (hooks: graphics by class
// name, address words, picture animators, the drag loop, the clipboard, the
// RTF writers of selections and of note documents) are set here, in one
// place, to what the programs use. Both programs call it once at start-up,
// after the application object and before any document is made, and so do
// the main routines of the test programs and benchmarks that use the suite.
// A part of the suite that fills a hook adds its line here. A test that
// stands in for a hook uses a TRDHookGuard (core/RDHookGuard.h), which gives
// the installed routine back when the test ends.
void InstallRichTextSuite();
