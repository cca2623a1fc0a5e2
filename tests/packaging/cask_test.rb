# The filled cask read through a stand-in for Homebrew's cask language: each
# stanza a release depends on must carry what the build says, so a renamed
# bundle, disk image or deployment target cannot leave the cask behind.
#
#   ruby cask_test.rb CASK VERSION SHA256 REPOSITORY BUNDLE_ID DISK_IMAGE DEPLOYMENT_TARGET
cask_file, version, sha256, repository, bundle_id, disk_image, deployment_target = ARGV

# Records every stanza with its arguments; `version` without one reads it back.
class CaskStanzas
  attr_reader :seen

  def initialize
    @seen = Hash.new { |stanzas, name| stanzas[name] = [] }
  end

  def version(*value)
    return @seen[:version].first&.first if value.empty?

    @seen[:version] << value
  end

  def method_missing(name, *arguments, **options)
    @seen[name] << (options.empty? ? arguments : arguments + [options])
  end

  def respond_to_missing?(*) = true
end

def cask(token, &stanzas)
  reader = CaskStanzas.new
  reader.instance_eval(&stanzas)
  [token, reader.seen]
end

token, seen = eval(File.read(cask_file), binding, cask_file)
macos_names = { "13" => "ventura", "14" => "sonoma", "15" => "sequoia" }
Row = Struct.new(:name, :stanza, :expected)
rows = [
  Row.new("the token", :token, "velmoryn"),
  Row.new("the version", :version, [[version]]),
  Row.new("the disk image's checksum", :sha256, [[sha256]]),
  Row.new("the published disk image", :url,
          [["https://github.com/#{repository}/releases/download/v#{version}/#{disk_image}.dmg"]]),
  Row.new("the oldest macOS", :depends_on,
          [[{ macos: ">= :#{macos_names[deployment_target.split(".").first]}" }]]),
  Row.new("the app", :app, [["Velmoryn.app"]]),
  Row.new("the quit that restores the Dock", :uninstall, [[{ quit: bundle_id }]]),
  Row.new("the program's own files", :zap,
          [[{ trash: ["~/Library/Application Support/Velmoryn",
                      "~/Library/Preferences/#{bundle_id}.plist"] }]]),
]
failures = rows.reject do |row|
  (row.stanza == :token ? token : seen[row.stanza]) == row.expected
end
failures.each do |row|
  warn "#{row.name}: expected #{row.expected.inspect}, got #{seen[row.stanza].inspect}"
end
puts "#{rows.size - failures.size} passed, #{failures.size} failed"
exit(failures.empty? ? 0 : 1)
