#pragma once

#include "platform/CascadeBitmap.h"
#include "platform/CascadeColor.h"
#include "platform/CascadeHashTable.h"
#include "platform/CascadeString.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tinyxml2 {
class XMLElement;
}

// The images a skin may replace, one per image key of Configuration.xml.
enum class SkinImage {
    Logo,
    ButtonActive,
    ButtonInactive,
    SpinnerActive,
    SpinnerInactive,
    KeyActive,
    KeyInactive,
    KeyLargeActive,
    KeyLargeInactive,
    NowPlayingBackground,
    LibraryBackground,
    FoldersBackground,
    CoverArtBackground,
    PlaylistsBackground,
    InternetRadioBackground,
    MiniModeBackground,
    KeyboardDialogBackground,
    ExitDialogBackground,
    InfoDialogBackground,
    SmallDialogBackground,
    MediumDialogBackground,
    LargeDialogBackground,
    MenuBackground,
    PleaseWaitBackground,
    Count
};

// The skin: which bitmap and which colour belong to each key. Reads a skin's
// Configuration.xml, loads each image file at most once, and falls back to a
// built-in default file for every image key and a built-in default value for
// every colour key the skin leaves out, so a skin describes only what it
// changes.
//
// Relative image paths ("images/<skin>/<file>") are resolved against the
// application directory, which the application shell sets at start-up with
// SetApplicationDirectory before the first image is asked for.
//
// Threads: the UI thread loads skins and asks for images. Every loaded skin
// is a snapshot (`Skin`) that never changes once built, apart from its image
// cache, which has its own lock; a skin load builds a new snapshot and swaps
// it in. A thread other than the UI thread (the player display's) takes the
// snapshot with GetSkin and keeps it, and every bitmap it got from it, alive
// while it uses it; a skin change can then never reset what it reads.
class Configuration {
public:
    class Skin {
    public:
        Skin(CascadeString name, CascadeString appDir) : m_name(std::move(name)), m_appDir(std::move(appDir)) {}
        Skin(const Skin&) = delete;
        Skin& operator=(const Skin&) = delete;

        const CascadeString& GetName() const { return m_name; }
        // The cached bitmap of `key` (see Configuration::GetBitmap); owned by
        // this snapshot. Any thread.
        CascadeBitmap* GetBitmap(const char* key, const char* defaultPath) const;
        [[nodiscard]] bool GetBitmap(CascadeBitmap& target, const char* key, const char* defaultPath) const;
        CascadeColor GetDisplayColor() const;
        CascadeColor GetDisplayBackgroundColor() const;
        CascadeColor GetDisplayLinesColor() const;

    private:
        friend class Configuration;
        CascadeString ResolvePath(const char* key, const char* defaultPath) const;
        CascadeString FullPath(const CascadeString& relative) const;
        CascadeColor ColorOr(const char* key, CascadeColor fallback) const;

        // Filled while the snapshot is built, read-only afterwards.
        CascadeString m_name;
        CascadeString m_appDir;
        CascadeHashTable<CascadeString, CascadeColor> m_colors{8};   // colour key -> colour
        CascadeHashTable<CascadeString, CascadeString> m_paths{8};   // image key -> relative path
        // Relative image path (not key) -> the bitmap loaded from it, and
        // every bitmap ever created, under the cache lock.
        mutable std::mutex m_cacheLock;
        mutable CascadeHashTable<CascadeString, CascadeBitmap*> m_bitmapCache{8};
        mutable std::vector<std::unique_ptr<CascadeBitmap>> m_ownedBitmaps;
    };

    Configuration();
    // Calls LoadConfiguration(configPath, "Default") at once.
    explicit Configuration(const char* configPath);
    // Deletes every bitmap it handed out.
    virtual ~Configuration();
    Configuration(const Configuration&) = delete;
    Configuration& operator=(const Configuration&) = delete;

    // The directory image paths are relative to; a '/' is added when it does
    // not end in one, "" means the working directory. UI thread, before the
    // first image is asked for (images already loaded are not reloaded).
    void SetApplicationDirectory(std::string dir);
    const CascadeString& GetApplicationDirectory() const { return m_appDir; }

    // Makes `skinName` the skin (its images live in "images/<skinName>/")
    // and reads its description from `configPath`. Every bitmap handed out
    // before is deleted once no snapshot holder keeps the old skin. Prints "skin path: <configPath>" to standard output.
    // A missing or unreadable file leaves every key at its default (with a
    // "skin:" line on standard error). UI thread.
    virtual void LoadConfiguration(const char* configPath, const char* skinName);
    // Forgets every entry (an empty snapshot of the same name). UI thread.
    virtual void Reset();
    // The current skin; any thread. Keep the pointer while using what it gave.
    std::shared_ptr<const Skin> GetSkin() const;

    // The shared bitmap of image `key`; `defaultPath` (relative to the
    // application directory) is used when the skin does not name the key, and
    // when the skin's file does not load. Never null: a bitmap that could not
    // be loaded comes back empty (IsValid false) and stays cached until the
    // next skin load. Owned by the configuration and valid until the next
    // LoadConfiguration or Reset. Keys whose files are the same share one
    // bitmap. UI thread.
    CascadeBitmap* GetBitmap(const char* key, const char* defaultPath);
    // Loads the image of `key` into the caller's `target` without caching.
    // False (and `target` empty) when neither file loaded. UI thread.
    [[nodiscard]] bool GetBitmap(CascadeBitmap& target, const char* key, const char* defaultPath);

    // The same two for a fixed image key with its built-in default file.
    CascadeBitmap* GetImage(SkinImage image);
    [[nodiscard]] bool GetImage(CascadeBitmap& target, SkinImage image);
    // The key and built-in default file of `image` ("Logo",
    // "images/Default/logo.png"); null for SkinImage::Count.
    static const char* KeyOf(SkinImage image);
    static const char* DefaultPathOf(SkinImage image);

    CascadeBitmap* GetLogo() { return GetImage(SkinImage::Logo); }
    CascadeBitmap* GetButtonActive() { return GetImage(SkinImage::ButtonActive); }
    CascadeBitmap* GetButtonInactive() { return GetImage(SkinImage::ButtonInactive); }
    CascadeBitmap* GetSpinnerActive() { return GetImage(SkinImage::SpinnerActive); }
    CascadeBitmap* GetSpinnerInactive() { return GetImage(SkinImage::SpinnerInactive); }
    CascadeBitmap* GetKeyActive() { return GetImage(SkinImage::KeyActive); }
    CascadeBitmap* GetKeyInactive() { return GetImage(SkinImage::KeyInactive); }
    CascadeBitmap* GetKeyLargeActive() { return GetImage(SkinImage::KeyLargeActive); }
    CascadeBitmap* GetKeyLargeInactive() { return GetImage(SkinImage::KeyLargeInactive); }
    CascadeBitmap* GetNowPlayingBackground() { return GetImage(SkinImage::NowPlayingBackground); }
    CascadeBitmap* GetLibraryBackground() { return GetImage(SkinImage::LibraryBackground); }
    CascadeBitmap* GetFoldersBackground() { return GetImage(SkinImage::FoldersBackground); }
    CascadeBitmap* GetCoverArtBackground() { return GetImage(SkinImage::CoverArtBackground); }
    CascadeBitmap* GetPlaylistsBackground() { return GetImage(SkinImage::PlaylistsBackground); }
    CascadeBitmap* GetInternetRadioBackground() { return GetImage(SkinImage::InternetRadioBackground); }
    CascadeBitmap* GetMiniModeBackground() { return GetImage(SkinImage::MiniModeBackground); }
    CascadeBitmap* GetKeyboardDialogBackground() { return GetImage(SkinImage::KeyboardDialogBackground); }
    CascadeBitmap* GetExitDialogBackground() { return GetImage(SkinImage::ExitDialogBackground); }
    CascadeBitmap* GetInfoDialogBackground() { return GetImage(SkinImage::InfoDialogBackground); }
    CascadeBitmap* GetSmallDialogBackground() { return GetImage(SkinImage::SmallDialogBackground); }
    CascadeBitmap* GetMediumDialogBackground() { return GetImage(SkinImage::MediumDialogBackground); }
    CascadeBitmap* GetLargeDialogBackground() { return GetImage(SkinImage::LargeDialogBackground); }
    CascadeBitmap* GetMenuBackground() { return GetImage(SkinImage::MenuBackground); }
    CascadeBitmap* GetPleaseWaitBackground() { return GetImage(SkinImage::PleaseWaitBackground); }

    [[nodiscard]] bool GetLogo(CascadeBitmap& t) { return GetImage(t, SkinImage::Logo); }
    [[nodiscard]] bool GetButtonActive(CascadeBitmap& t) { return GetImage(t, SkinImage::ButtonActive); }
    [[nodiscard]] bool GetButtonInactive(CascadeBitmap& t) { return GetImage(t, SkinImage::ButtonInactive); }
    [[nodiscard]] bool GetSpinnerActive(CascadeBitmap& t) { return GetImage(t, SkinImage::SpinnerActive); }
    [[nodiscard]] bool GetSpinnerInactive(CascadeBitmap& t) { return GetImage(t, SkinImage::SpinnerInactive); }
    [[nodiscard]] bool GetKeyActive(CascadeBitmap& t) { return GetImage(t, SkinImage::KeyActive); }
    [[nodiscard]] bool GetKeyInactive(CascadeBitmap& t) { return GetImage(t, SkinImage::KeyInactive); }
    [[nodiscard]] bool GetKeyLargeActive(CascadeBitmap& t) { return GetImage(t, SkinImage::KeyLargeActive); }
    [[nodiscard]] bool GetKeyLargeInactive(CascadeBitmap& t) { return GetImage(t, SkinImage::KeyLargeInactive); }
    [[nodiscard]] bool GetNowPlayingBackground(CascadeBitmap& t) {
        return GetImage(t, SkinImage::NowPlayingBackground);
    }
    [[nodiscard]] bool GetLibraryBackground(CascadeBitmap& t) { return GetImage(t, SkinImage::LibraryBackground); }
    [[nodiscard]] bool GetFoldersBackground(CascadeBitmap& t) { return GetImage(t, SkinImage::FoldersBackground); }
    [[nodiscard]] bool GetCoverArtBackground(CascadeBitmap& t) { return GetImage(t, SkinImage::CoverArtBackground); }
    [[nodiscard]] bool GetPlaylistsBackground(CascadeBitmap& t) { return GetImage(t, SkinImage::PlaylistsBackground); }
    [[nodiscard]] bool GetInternetRadioBackground(CascadeBitmap& t) {
        return GetImage(t, SkinImage::InternetRadioBackground);
    }
    [[nodiscard]] bool GetMiniModeBackground(CascadeBitmap& t) { return GetImage(t, SkinImage::MiniModeBackground); }
    [[nodiscard]] bool GetKeyboardDialogBackground(CascadeBitmap& t) {
        return GetImage(t, SkinImage::KeyboardDialogBackground);
    }
    [[nodiscard]] bool GetExitDialogBackground(CascadeBitmap& t) {
        return GetImage(t, SkinImage::ExitDialogBackground);
    }
    [[nodiscard]] bool GetInfoDialogBackground(CascadeBitmap& t) {
        return GetImage(t, SkinImage::InfoDialogBackground);
    }
    [[nodiscard]] bool GetSmallDialogBackground(CascadeBitmap& t) {
        return GetImage(t, SkinImage::SmallDialogBackground);
    }
    [[nodiscard]] bool GetMediumDialogBackground(CascadeBitmap& t) {
        return GetImage(t, SkinImage::MediumDialogBackground);
    }
    [[nodiscard]] bool GetLargeDialogBackground(CascadeBitmap& t) {
        return GetImage(t, SkinImage::LargeDialogBackground);
    }
    [[nodiscard]] bool GetMenuBackground(CascadeBitmap& t) { return GetImage(t, SkinImage::MenuBackground); }
    [[nodiscard]] bool GetPleaseWaitBackground(CascadeBitmap& t) {
        return GetImage(t, SkinImage::PleaseWaitBackground);
    }

    // Colours of the player display: the skin's "Display_Foreground" (default
    // white), "Display_Background" and "Display_Lines" (default black), each
    // with alpha 255. Any thread.
    CascadeColor GetDisplayColor() const { return GetSkin()->GetDisplayColor(); }
    CascadeColor GetDisplayBackgroundColor() const { return GetSkin()->GetDisplayBackgroundColor(); }
    CascadeColor GetDisplayLinesColor() const { return GetSkin()->GetDisplayLinesColor(); }

    // UI thread.
    CascadeString GetSkinName() const { return GetSkin()->GetName(); }

private:
    static void ReadBitmaps(Skin& target, const tinyxml2::XMLElement* skin);
    static void ReadColors(Skin& target, const tinyxml2::XMLElement* skin);
    void Install(std::shared_ptr<Skin> skin);

    CascadeString m_appDir;  // UI thread
    mutable std::mutex m_skinLock;
    std::shared_ptr<Skin> m_skin;  // never null
};

// The one skin configuration of the process; it lives until process exit.
extern Configuration g_config;
