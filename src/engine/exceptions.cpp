#include "vsk/exceptions.hpp"

#include <utility>

namespace vsk {

Exception::Exception(std::string class_name, std::string message)
    : class_name_(std::move(class_name)),
      message_(std::move(message)),
      raise_address_(__builtin_return_address(0)) {}

EReadError::EReadError() : Exception("EReadError", "Stream read error") {}

EWriteError::EWriteError() : Exception("EWriteError", "Stream write error") {}

EFOpenError::EFOpenError(std::string_view path)
    : Exception("EFOpenError", "Cannot open file " + std::string(path)) {}

EFCreateError::EFCreateError(std::string_view path)
    : Exception("EFCreateError", "Cannot create file " + std::string(path)) {}

ELZHBadDecodeTable::ELZHBadDecodeTable()
    : Exception("ELZHBadDecodeTable", "Bad decode table in archive!") {}

EUnableToCompress::EUnableToCompress()
    : Exception("EUnableToCompress", "Could not compress data") {}

EUnrecognizedCompressionMethod::EUnrecognizedCompressionMethod(std::string_view method_id)
    : Exception("EUnrecognizedCompressionMethod",
                "Unrecognized compression method: \"" + std::string(method_id) + "\" in header") {}

EInvalidHeaderArchiveType::EInvalidHeaderArchiveType()
    : Exception("EInvalidHeaderArchiveType", "Archive type must be caMulti") {}

EInvalidHeader::EInvalidHeader()
    : Exception("EInvalidHeader", "Can't recognize compressed file header") {}

EBadChecksum::EBadChecksum()
    : Exception("EBadChecksum", "Bad checksum during expansion -- data may be invalid") {}

EInvalidKey::EInvalidKey() : Exception("EInvalidKey", "File locked -- valid key required") {}

}  // namespace vsk
