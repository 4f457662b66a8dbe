#include "settings.hpp"

namespace morek {

int BUFSIZE = 4096;
int tab1 = 8;
int tab2 = 8;
int ign_str = 0;

}  // namespace morek
