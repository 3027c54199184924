#include "gui/GuiApp.h"

int main(int argc, char** argv) {
  return sondesk::RunSondesk(argc, argv);
}
