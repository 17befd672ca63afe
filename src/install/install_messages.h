// Texts the install routine shows in more than one phase, and the maker's
// addresses.
#pragma once

inline constexpr char kNoAdministrativeRights[] =
    "Your user account does not have administrative rights and cannot add a printer to this "
    "computer. Please obtain administrative rights and run install again.";

inline constexpr char kMakerName[] = "Tavrin Corporation";
inline constexpr char kMakerWebAddress[] = "http://www.tavrin.com/";
inline constexpr char kSupportAddress[] = "support@tavrin.com";
