// Interface paths: "<node>#vid_XXXX&pid_XXXX&mi_NN&colNN". The node is what the backend opens
// (for example /dev/hidraw3 or virtual:keyboard); the rest names the interface the way the
// supported-interface table does.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qm {

// Each searches the path case-insensitively for its token ("vid_", "pid_", "&mi_", "&col"),
// reads the hexadecimal number right after it and returns its low 16 bits; 0 when absent.
std::uint16_t ParseVid(std::string_view path);
std::uint16_t ParsePid(std::string_view path);
std::uint16_t ParseMi(std::string_view path);
std::uint16_t ParseCol(std::string_view path);

// Builds a path; collection 0 leaves out the collection token.
std::string makeInterfacePath(std::string_view node, std::uint16_t vendorId,
                              std::uint16_t productId, int interfaceNumber, int collection);

// The node part of a path (everything before the first '#').
std::string_view pathNode(std::string_view path);

}  // namespace qm
