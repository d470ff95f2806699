#include "project/ProjectForm.h"

#include "project/ProjectStore.h"

TProjectForm::TProjectForm(IProjectHost& host, IProjectBackup& backup, bool designing)
    : TComponent(nullptr), host_(host), backup_(backup) {
    SetDesigning(designing);
}

TProjectForm::~TProjectForm() = default;

void TProjectForm::New(const std::string& name, const std::string& className) {
    if (!IsValidName(className)) {
        throw EComponentError("'" + className + "' is not a valid class name");
    }
    components_.clear();
    ownProperties_.clear();
    SetName(name);
    className_ = className;
}

void TProjectForm::Load(const std::string& text) {
    const TStoredObject root = ParseDescription(text);
    for (const TStoredObject& child : root.children) {
        if (child.className != "TProject") {
            RaiseDescriptionError(child.line, child.column, "unknown class \"" + child.className + "\"");
        }
        if (!child.children.empty()) {
            RaiseDescriptionError(child.children[0].line, child.children[0].column,
                                  "a TProject holds no components");
        }
        for (const TStoredObject& other : root.children) {
            if (&other != &child && other.name == child.name) {
                RaiseDescriptionError(other.line, other.column, "a second component named " + child.name);
            }
        }
        CheckStoredProject(child);
    }
    New(root.name, root.className);
    ownProperties_ = root.properties;
    try {
        for (const TStoredObject& child : root.children) {
            TProject& project = Place(child.name);
            AssignStoredProject(project, child);
        }
        for (const auto& project : components_) {
            project->AfterLoad();
        }
    } catch (...) {
        components_.clear();
        throw;
    }
}

TProject& TProjectForm::Place(const std::string& name) {
    if (Find(name) != nullptr) {
        throw EComponentError("A component named " + name + " already exists");
    }
    auto project = std::make_unique<TProject>(this, host_, backup_);
    project->SetName(name);
    components_.push_back(std::move(project));
    return *components_.back();
}

std::string TProjectForm::Store() {
    for (const auto& project : components_) {
        project->BeforeStore();
    }
    return Describe();
}

std::string TProjectForm::Describe() const {
    TStoredObject root;
    root.name = Name();
    root.className = className_;
    root.properties = ownProperties_;
    for (const auto& project : components_) {
        TStoredObject child;
        child.name = project->Name();
        child.className = "TProject";
        child.properties = StoredProjectProperties(*project);
        root.children.push_back(child);
    }
    return FormatDescription(root);
}

TProject* TProjectForm::Find(const std::string& name) const {
    for (const auto& project : components_) {
        if (project->Name() == name) {
            return project.get();
        }
    }
    return nullptr;
}
