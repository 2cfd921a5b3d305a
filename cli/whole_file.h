// A small file's bytes read whole, and written back over the same file: the
// same inode, so the mode and owner the output was given stay. For the
// segments and chunks added to an encoded file after its encoder wrote it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

std::vector<uint8_t> ReadWholeFile(const std::string& path);
bool RewriteInPlace(const std::string& path, const std::vector<uint8_t>& bytes);
