#include "SoundsPage.h"

#include "resource.h"
#include "uitext.h"

namespace {

const CSettingsPage::CField kFields[] = { { "SOUND", "Mode", { IDC_SND_MODE } } };
const char* const kModes[] = { "windows", "always", "off" };

}  // namespace

BEGIN_MESSAGE_MAP(CSoundsPage, CSettingsPage)
    ON_COMMAND(IDC_SND_TEST_TYPED, OnTestTyped)
    ON_COMMAND(IDC_SND_TEST_NOT_TYPED, OnTestNotTyped)
    ON_COMMAND(IDC_SND_TEST_DUPLICATE, OnTestDuplicate)
END_MESSAGE_MAP()

CSoundsPage::CSoundsPage() : CSettingsPage(IDD_SETPAGE_SOUNDS, kFields, ARRAYSIZE(kFields)), m_loaded() {}

BOOL CSoundsPage::OnInitDialog()
{
    AddChoices(IDC_SND_MODE, { UiText(IDS_SND_WINDOWS), UiText(IDS_SND_ALWAYS), UiText(IDS_SND_OFF) });
    return CSettingsPage::OnInitDialog();
}

void CSoundsPage::ReadValues(const CSettingsSource& settings)
{
    m_loaded = ReadSoundModes(settings).base;
}

void CSoundsPage::ShowValues()
{
    Choose(IDC_SND_MODE, m_loaded);
}

SoundMode CSoundsPage::Shown() const
{
    int nMode = Choice(IDC_SND_MODE);
    return nMode > 0 && nMode < (int)ARRAYSIZE(kModes) ? (SoundMode)nMode : SOUND_MODE_WINDOWS;
}

void CSoundsPage::AddValueChanges(std::vector<CIniChange>& changes) const
{
    if (Shown() != m_loaded)
        changes.push_back({ "SOUND", "Mode", kModes[Shown()], false });
}

bool CSoundsPage::Saved(CRefusal*)
{
    m_loaded = Shown();
    return true;
}

// Heard at once, whatever played a moment before; the page says when there
// is nothing to hear.
void CSoundsPage::Test(SoundEvent event)
{
    bool bPlayed = m_player.Play(event, Shown(), GetTickCount(), true);
    m_player.TakeProblems();
    SetText(IDC_SND_STATUS, bPlayed ? L"" : UiText(IDS_SND_SILENT));
}

void CSoundsPage::OnTestTyped()
{
    Test(SOUND_TYPED);
}

void CSoundsPage::OnTestNotTyped()
{
    Test(SOUND_NOT_TYPED);
}

void CSoundsPage::OnTestDuplicate()
{
    Test(SOUND_DUPLICATE);
}
