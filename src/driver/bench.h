// "engine bench [DEPTH]": a fixed set of positions searched to a fixed depth with one thread
// from cleared tables. The node total is a signature of the search and the evaluation.
#pragma once

int bench_command(int argc, char** argv);
