// The "eval" command: the static evaluation of the current position, term by term, as the
// search sees it at the root.
#pragma once

void eval_command();
