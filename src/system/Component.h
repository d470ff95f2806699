#pragma once
// The smallest component base: an owner, a name, a tag and the design-mode
// state. A component created with an owner that is being designed is in
// design mode too, as in a visual designer. Components in this program own
// nothing through it; the owner is only recorded.
#include <string>

#include "system/Exception.h"

QUENDRO_DECLARE_ERROR(EComponentError);

class TComponent {
public:
    explicit TComponent(TComponent* owner) : owner_(owner), designing_(owner != nullptr && owner->Designing()) {}
    virtual ~TComponent() = default;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    const std::string& Name() const { return name_; }
    // Letters, digits and underscores, not beginning with a digit; anything
    // else raises "'x' is not a valid component name".
    void SetName(const std::string& name);
    static bool IsValidName(const std::string& name);
    long Tag() const { return tag_; }
    void SetTag(long tag) { tag_ = tag; }

    // Design mode: set on the designer's root; its components inherit it.
    bool Designing() const { return designing_; }
    void SetDesigning(bool designing) { designing_ = designing; }

private:
    TComponent* owner_;
    std::string name_;
    long tag_ = 0;
    bool designing_;
};
