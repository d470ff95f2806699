#pragma once
// A window as the project component sees it: the root of a stored
// description, holding TProject components. Loading checks the whole
// description before it creates anything; storing runs every component's
// BeforeStore before any text is made. The window's own properties are kept
// as they were read.
#include <memory>
#include <string>
#include <vector>

#include "project/FormDescription.h"
#include "project/Project.h"

class TProjectForm : public TComponent {
public:
    TProjectForm(IProjectHost& host, IProjectBackup& backup, bool designing);
    ~TProjectForm() override;

    // A new window with nothing on it.
    void New(const std::string& name, const std::string& className);
    // Reads a description; its children must all be TProject. Each component
    // is created (in design mode with its initial values and the user's
    // defaults), gets its stored values in stored order, then AfterLoad runs
    // for each. A malformed description raises EDescriptionError and leaves
    // the window empty.
    void Load(const std::string& text);
    // Places a new component, as a designer does when the user drops one.
    TProject& Place(const std::string& name);
    // BeforeStore for every component, then the description's text.
    std::string Store();
    // The text of the window as it stands, without BeforeStore.
    std::string Describe() const;

    TProject* Find(const std::string& name) const;
    const std::vector<std::unique_ptr<TProject>>& Components() const { return components_; }
    const std::string& ClassName() const { return className_; }

private:
    IProjectHost& host_;
    IProjectBackup& backup_;
    std::string className_;
    std::vector<TStoredProperty> ownProperties_;
    std::vector<std::unique_ptr<TProject>> components_;
};
