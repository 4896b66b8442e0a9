// Engine layer: the table of the decisions' answer captions.
#include "engine/answer_captions.h"

namespace tandemere::engine {
namespace {

const AnswerCaptions kCaptions[] = {
    {DecisionKind::DiffFileSameName, SettingId::DiffFileSameNameDlgDefault, "&Overwrite", "&Rename"},
    {DecisionKind::SameFileDiffName, SettingId::SameFileDiffNameDlgDefault, "&Delete", "Delete and &Rename"},
    {DecisionKind::FnameFldrnameClash, SettingId::FnameFldrnameClashDlgDefault, "Rename fol&der",
     "Rename &file"},
    {DecisionKind::FldrnameFnameClash, SettingId::FldrnameFnameClashDlgDefault, "Rename &file",
     "Rename fol&der"},
    // Two answers: no second button.
    {DecisionKind::SameFileElsewhere, SettingId::SameFileElsewhereDlgDefault, "&Delete", ""},
};

}  // namespace

const AnswerCaptions& GetAnswerCaptions(DecisionKind kind) {
    for (const AnswerCaptions& captions : kCaptions)
        if (captions.m_nKind == kind) return captions;
    return kCaptions[0];
}

const AnswerCaptions* FindAnswerCaptions(SettingId setting) {
    for (const AnswerCaptions& captions : kCaptions)
        if (captions.m_nSetting == setting) return &captions;
    return nullptr;
}

}  // namespace tandemere::engine
