#include "settings.hpp"

namespace morek {

int BUFSIZE = 4096;
int tab1 = 8;
int tab2 = 8;
int ign_str = 0;
literal_lexer* literals = nullptr;
int utf8_input = 0;
int latin1_input = 0;
int spaces_only = 0;
int indent_only = 0;
int make_lines = 0;
int yaml_lines = 0;
eol_mode line_ends = eol_mode::text;

}  // namespace morek
