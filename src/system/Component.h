#pragma once
// The smallest component base: an owner, a name and a tag. Components in this
// program own nothing through it; the owner is only recorded.
#include <string>

class TComponent {
public:
    explicit TComponent(TComponent* owner) : owner_(owner) {}
    virtual ~TComponent() = default;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    const std::string& Name() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    long Tag() const { return tag_; }
    void SetTag(long tag) { tag_ = tag; }

private:
    TComponent* owner_;
    std::string name_;
    long tag_ = 0;
};
