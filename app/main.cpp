// The orvane program.
#include "app/orvane_app.h"

int main(int argc, char** argv) { return orvane::RunOrvane(argc, argv); }
