#pragma once
// Bytes of files and of hand-built atoms (big-endian), for tests that build or inspect movies
// byte by byte.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace brevio::testmovies {

std::vector<uint8_t> ReadFile(const std::filesystem::path& p);
void WriteFile(const std::filesystem::path& p, const std::vector<uint8_t>& bytes);

void Put32(std::vector<uint8_t>& b, uint32_t v);
void Put16(std::vector<uint8_t>& b, uint16_t v);
void Put64(std::vector<uint8_t>& b, uint64_t v);
void PutType(std::vector<uint8_t>& b, const char* type);
// An atom with the given type around the payload.
std::vector<uint8_t> Box(const char* type, const std::vector<uint8_t>& payload);

// Offset of the nth atom of `type` found by walking containers; npos when absent.
size_t FindAtomOffset(const std::vector<uint8_t>& file, const char* type, size_t nth = 0);

}  // namespace brevio::testmovies
