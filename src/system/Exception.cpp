#include "system/Exception.h"

#include <utility>

Exception::Exception(std::string message) : message_(std::move(message)) {}

Exception::~Exception() = default;

const char* Exception::ClassName() const { return "Exception"; }
