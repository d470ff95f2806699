#pragma once
// Base error class of the program: an error carries a message text, and its
// class name is shown when an error reaches the top-level handler.
#include <string>

class Exception {
public:
    explicit Exception(std::string message);
    virtual ~Exception();
    virtual const char* ClassName() const;
    const std::string& Message() const { return message_; }

private:
    std::string message_;
};

// Declares an error class that adds nothing but its name.
#define QUENDRO_DECLARE_ERROR(Name)                                   \
    class Name : public Exception {                                   \
    public:                                                           \
        using Exception::Exception;                                   \
        const char* ClassName() const override { return #Name; }      \
    }
