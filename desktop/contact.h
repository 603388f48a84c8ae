#pragma once

// How the service is reached by post, telephone and fax: the About page shows these, and the fax
// sheet is addressed with them.
namespace contact {

inline constexpr char kServiceName[] = "Marrowvale Community Debt Services";
inline constexpr char kStreet[] = "214 Harbour Lane, Suite 5";
inline constexpr char kTown[] = "Marrowvale, OR 97035";
inline constexpr char kTollFree[] = "1-800-555-0142, 1-800-555-0143";
inline constexpr char kFax[] = "1-800-555-0190, 1-800-555-0191";

}  // namespace contact
