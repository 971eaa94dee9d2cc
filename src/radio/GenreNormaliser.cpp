#include "radio/GenreNormaliser.h"

#include "server/EString.h"

#include <algorithm>

namespace {

// Alphabetical ignoring case; "Italian" stands twice.
constexpr const char* kMasterGenreText =
    "50s 60s 70s 80s 90s Acadian Acid Adult Africa African Alternative Ambient Americana Anime Arabic Armenian "
    "Asian Avantgarde Bhangra Big_Band Bluegrass Blues Bosna Bossa Brazil Breakbeat Celtic Chillout Chinese "
    "Classic_Rock Classical College Comedy Community Contemporary Coptic Country CPop Croatian Dance Dancehall "
    "Deephouse Didjeridu Disco Dominicana Downtempo Drum_&_Bass Dub Easy_Listening Educational Electronic Ethnic "
    "Eurodance European Folk Freeform Funk Garage German Glam Goa Gospel Gothic Greece Greek Grooves Ham "
    "Hard_Core Hard_Rock Hardcore Hardhouse Hardstyle Hardtrance Hindi House Hungarian Indian Indie Industrial "
    "Information Instrumental International Iranian Iraqi Irish Italian Italian Japanese Jazz JPop Jrock Jungle "
    "Kabar Korean KPop Kurd Latin Live Lounge Malay Merengue Metal Mexican Narodna New_Age News NPR Oldies Opera "
    "Pakistani Persian Pink_Floyd Pirate Polka Pop Progressive Psychedelic Punjabi Punk R_&_B Rap Rave Reggae "
    "Remix Rock Rockabilly Rocksteady Russian Salsa Scanner Ska Smooth Soul Soundtrack Space Spanish Sports "
    "Stoner Swing Talk Tamil Techno Top_40 Trance Turkish Unknown Urban Various Video_Game Vietnam Weather World "
    "Youth Zabavna Zouk";

// Each row: the genre word, a blank, its aliases joined by "|", a blank.
constexpr const char* kSubstituteText =
    "50s 50's|1950|50 "
    "60s 60's|1960|60 "
    "70s 70's|1970|70 "
    "80s 80's|1980|80 "
    "90s 90's|1990|90 "
    "African africa "
    "Anime animation "
    "Breakbeat breakbeats|breaks|breakz|beats|turntablism|phat "
    "British britpop "
    "Caribbean carribean "
    "Classical symphonic "
    "Club clubbing "
    "College university|student|school "
    "Comedy humor|humour "
    "Community local "
    "Drum_&_Bass dnb|d&b|d_&_b|d&amp;b|d_&amp;_b|drum_n_bass|drum_and_bass|drum_n_base|drumnbass|drum_bass|drum|bass "
    "Dutch holland|netherla|nederla|nederlandstalig "
    "Electronic ebm|electro|electronica|eletronica "
    "Ethnic ethno "
    "Freeform freestyle "
    "French francais "
    "Gothic goth "
    "Greek greece "
    "Hard_Core brutal|gabber|terror "
    "Holiday holidays|christmas|xmas "
    "Hungarian hungar "
    "Indie indy|indymedia|indies|independent "
    "Information info&amp;music|info&music|info "
    "Italian italo|italy "
    "Japanese japan "
    "Jazz jazzensemble "
    "Live vivo|life "
    "Low_Fi lowfi|lofi "
    "Mainstream main "
    "New_Age newage|age "
    "Old_School oldskool|old_skool|oldschool "
    "Oldies oldie|old_time_radio "
    "Pirate piraat|piraten|piratenmuziek|pirati|anarchoradio "
    "Pop popsa|popular "
    "Progressive progessive "
    "Psychedelic psych|psyhouse|psytrance "
    "Punjabi punjab|bollywood "
    "R_&_B rnb|r_n_b|r&amp;b|r&b "
    "Rock rocknroll|rock_n_roll "
    "Romanian romania|romaneasca|roumanian "
    "Remix remixes "
    "Reggae raggae|reggaeton|ragga|dancehall|dance_hall "
    "Rap hiphop|hip_hop|hip|moderntriphop "
    "Soundtrack film|movie "
    "Soul soulful "
    "Spiritual ccm|christian|praise|worship|prayer|inspirational|bible|religion|religious|religieux|holyhiphop "
    "Talk spoken|politics|politiek "
    "Techno tekno "
    "Top_40 top40|chart|top_hits|hits|hit "
    "Trance tranc "
    "Turkish turk|turkce "
    "Various all|other|etc|anything|any|every|mixed|ecclectic|eccletic|eclectic|mix|variado|variety|varied|varios|"
    "random|misc|miscellaneous|generaliste "
    "Vocal voice "
    "Video_Game videogame|gaming|games|game "
    "Youth young|youths ";

std::string Displayed(std::string_view genre) {
    std::string text(genre);
    std::replace(text.begin(), text.end(), '_', ' ');
    return text;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

GenreNormaliser::GenreNormaliser() : m_masterGenres(kMasterGenreText, " ", CascadeCase::Sensitive) {
    const ETokenArray words(kSubstituteText, " ", CascadeCase::Sensitive);
    for (std::size_t i = 0; i + 1 < words.GetNumTokens(); i += 2) {
        SubstituteGenre row{words.TokenAt(i),
                            std::make_unique<ETokenArray>(words.TokenAt(i + 1), "|", CascadeCase::Sensitive)};
        const std::string genre = Displayed(row.genre.View());
        for (std::size_t a = 0; a < row.aliases->GetNumTokens(); ++a)
            m_aliasGenres.emplace(CascadeString(row.aliases->TokenAt(a)).ToLower().Std(), genre);
        m_substitutes.push_back(std::move(row));
    }
}

std::string GenreNormaliser::NormaliseWord(std::string_view word) const {
    const std::string key(word);
    const long master = m_masterGenres.Contains(key.c_str(), CascadeCase::Insensitive, ETokenArray::Order::Sorted);
    if (master >= 0) return Displayed(m_masterGenres.TokenAt(std::size_t(master)));
    const auto alias = m_aliasGenres.find(CascadeString(word).ToLower().Std());
    if (alias != m_aliasGenres.end()) return alias->second;
    return kMiscGenre;
}

std::vector<std::string> GenreNormaliser::Normalise(std::string_view genreText) const {
    std::string text(genreText);
    for (char& c : text)
        if (c == '-' || c == '=' || c == '/' || c == ',') c = ' ';
    std::erase_if(text, [](char c) { return c == '!' || c == '.' || c == '(' || c == ')' || c == '\''; });
    std::vector<std::string> genres;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsBlank(text[i])) ++i;
        std::size_t end = i;
        while (end < text.size() && !IsBlank(text[end])) ++end;
        if (end > i) genres.push_back(NormaliseWord(std::string_view(text).substr(i, end - i)));
        i = end;
    }
    return genres;
}
