#pragma once

// The editor fixture shared by the editing tests: an offscreen editor over a
// style sheet of fixture styles.
