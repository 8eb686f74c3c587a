// The whole run of the converter, callable from main and from tests, and the command-line
// pieces it is made of.
#pragma once

#include <string>

int vxr_main(int argc, char** argv);

// A file-name argument after quote handling.
std::string vxs_take_name_argument(const char* arg);
// Options found by substring search are removed from the argument and set their globals.
void vxs_parse_input_options(std::string& arg, bool& use_name_file);
void vxs_parse_output_options(std::string& arg, bool& names_after);
