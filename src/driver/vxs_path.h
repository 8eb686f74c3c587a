// Where a file-name argument's options may stand: only after its directory part, so that the
// '/' separators of a path are never mistaken for options.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

// Length of the directory part of an argument: the longest leading part that ends at a '/'
// and names an existing directory; 0 when there is none (a plain name like "Test.csv/n").
size_t vxs_directory_part(const std::string& arg);

// Runs parse on the file-name part of arg only (the text after its directory part) and puts
// the directory part back in front of what parse leaves.
void vxs_options_in_file_name(std::string& arg, const std::function<void(std::string&)>& parse);
